// The built libvulay30.so exports every interface function by name and
// through its ordinal table, and nothing of the layout code besides.
#include "layout/vulay30.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <map>
#include <string>

namespace {

const std::map<int, std::string> kExports = {
    {1, "WEP"}, {2, "initLayoutParam"}, {3, "LayGazoWndProc"}, {4, "DisplayLayout"}, {5, "GetLayout"},
    {6, "GetRecg"}, {7, "RegstTemplate"}, {8, "GetLines"}, {9, "GetLayoutHKeisen"}, {10, "GetSelectedRect"},
    {11, "GetKeisenData"}, {12, "SaveKeisenData"}, {13, "LoadFldFromFile"}, {14, "SaveFldToFile"},
    {15, "Auto_template_matching"}, {16, "ReadTemplate"}, {17, "ConfTemplate"}, {18, "AutoRotate"},
    {19, "ManualRotate"}, {20, "DeleteFld"}, {21, "ExchangeFld"}, {22, "ChangeFldForm"}, {23, "AutoRotateEx"},
    {24, "RgstConfDlgProc"}, {25, "TempDirOpenHook"}, {26, "TemplateWndProc"}, {30, "DispTemplate"},
    {32, "AutoRotatePaper"}, {40, "InitLayout"}, {41, "CloseAlloc"}, {50, "create_userfld"},
    {51, "free_userfld"}, {52, "free_userfld_all"}, {53, "free_Sfld_all"}, {54, "getRcgS_fld"},
    {60, "alloc_recg"}, {61, "free_recg"}};

class Library {
 public:
  Library() : handle_(dlopen(VULAY30_PATH, RTLD_NOW | RTLD_LOCAL)) {}
  ~Library() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  void* handle() const { return handle_; }
  void* symbol(const std::string& name) const { return dlsym(handle_, name.c_str()); }

 private:
  void* handle_;
};

TEST(ExportedInterface, EveryNameAndOrdinalResolvesToTheSameFunction) {
  Library lib;
  ASSERT_NE(lib.handle(), nullptr) << dlerror();
  ASSERT_EQ(kExports.size(), 37u);
  auto* table = static_cast<const Vulay30Ordinal*>(lib.symbol("vulay30_ordinals"));
  auto* count = static_cast<const int*>(lib.symbol("vulay30_ordinal_count"));
  auto byOrdinal = reinterpret_cast<void (*(*)(int))()>(lib.symbol("vulay30_by_ordinal"));
  ASSERT_NE(table, nullptr);
  ASSERT_NE(count, nullptr);
  ASSERT_NE(byOrdinal, nullptr);
  ASSERT_EQ(*count, 37);
  for (int i = 0; i < *count; ++i) {
    auto it = kExports.find(table[i].ordinal);
    ASSERT_NE(it, kExports.end()) << table[i].ordinal;
    EXPECT_EQ(it->second, table[i].name);
  }
  for (const auto& [ordinal, name] : kExports) {
    void* byName = lib.symbol(name);
    ASSERT_NE(byName, nullptr) << name;
    EXPECT_EQ(reinterpret_cast<void*>(byOrdinal(ordinal)), byName) << ordinal << " " << name;
  }
  EXPECT_EQ(byOrdinal(27), nullptr);
}

TEST(ExportedInterface, InternalsStayHidden) {
  Library lib;
  ASSERT_NE(lib.handle(), nullptr) << dlerror();
  for (const char* internal : {"group_pixels", "_Z12group_pixelsPP11rect_recordPK9ImageDescPK6Rect16ii",
                               "append_fld", "_Z10append_fldPP7userfld", "classify_region"}) {
    EXPECT_EQ(lib.symbol(internal), nullptr) << internal;
  }
}

TEST(ExportedInterface, TheLoadedLibraryRunsAFieldRoundTrip) {
  Library lib;
  ASSERT_NE(lib.handle(), nullptr) << dlerror();
  using Init = short (*)(const char*, const char*, short);
  using Create = userfld* (*)(userfld**);
  using FreeAll = void (*)(userfld**);
  using Close = void (*)();
  auto init = reinterpret_cast<Init>(lib.symbol("InitLayout"));
  auto create = reinterpret_cast<Create>(lib.symbol("create_userfld"));
  auto freeAll = reinterpret_cast<FreeAll>(lib.symbol("free_userfld_all"));
  auto close = reinterpret_cast<Close>(lib.symbol("CloseAlloc"));
  ASSERT_EQ(init("/nowhere", "/nowhere", 0), 1);
  userfld* list = nullptr;
  userfld* f = create(&list);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(list->next, f);
  EXPECT_EQ(f->next, list);
  freeAll(&list);
  EXPECT_EQ(list, nullptr);
  close();
}

}  // namespace
