#include "platform/component_registry.h"

#include "platform/profile.h"
#include "platform/program_folder.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace platform {

namespace {
constexpr const char* kClsidSection = "CLSID";
constexpr const char* kProgIdSection = "ProgID";
constexpr const char* kNamesSection = "Names";

using CreateFn = int (*)(const char*, DispatchObject**);
using DestroyFn = void (*)(DispatchObject*);
}  // namespace

bool Variant::toShort(std::int16_t* out) const {
  if (const auto* s = std::get_if<std::int16_t>(&value_)) {
    *out = *s;
    return true;
  }
  if (const auto* l = std::get_if<std::int32_t>(&value_)) {
    *out = static_cast<std::int16_t>(*l);
    return true;
  }
  return false;
}

bool Variant::toLong(std::int32_t* out) const {
  if (const auto* s = std::get_if<std::int16_t>(&value_)) {
    *out = *s;
    return true;
  }
  if (const auto* l = std::get_if<std::int32_t>(&value_)) {
    *out = *l;
    return true;
  }
  return false;
}

std::int16_t* Variant::shortRef() const {
  const auto* p = std::get_if<std::int16_t*>(&value_);
  return p != nullptr ? *p : nullptr;
}

void ComponentDeleter::operator()(DispatchObject* object) const {
  if (object == nullptr) return;
  if (destroy != nullptr) destroy(object);
}

std::string componentRegistryPath() { return configFolder() + "/components.ini"; }

bool registerComponent(const ComponentEntry& entry) {
  if (entry.clsid.empty() || entry.libraryPath.empty()) return false;
  makePrivateFolder(configFolder());
  const std::string path = componentRegistryPath();
  bool ok = writeProfileString(path, kClsidSection, entry.clsid, entry.libraryPath);
  if (ok && !entry.progId.empty()) ok = writeProfileString(path, kProgIdSection, entry.progId, entry.clsid);
  if (ok && !entry.typeName.empty()) ok = writeProfileString(path, kNamesSection, entry.clsid, entry.typeName);
  return ok;
}

bool unregisterComponent(const std::string& clsid) {
  const std::string path = componentRegistryPath();
  bool ok = true;
  for (const std::string& progId : profileKeys(path, kProgIdSection)) {
    if (getProfileString(path, kProgIdSection, progId, "") == clsid)
      ok = deleteProfileKey(path, kProgIdSection, progId) && ok;
  }
  ok = deleteProfileKey(path, kNamesSection, clsid) && ok;
  return deleteProfileKey(path, kClsidSection, clsid) && ok;
}

bool findComponent(const std::string& clsidOrProgId, ComponentEntry* out) {
  const std::string path = componentRegistryPath();
  std::string clsid = clsidOrProgId;
  std::string progId;
  if (clsid.empty()) return false;
  if (clsid.front() != '{') {
    progId = clsid;
    clsid = getProfileString(path, kProgIdSection, progId, "");
    if (clsid.empty()) return false;
  }
  const std::string library = getProfileString(path, kClsidSection, clsid, "");
  if (library.empty()) return false;
  if (out != nullptr) {
    out->clsid = clsid;
    out->progId = progId;
    out->typeName = getProfileString(path, kNamesSection, clsid, "");
    out->libraryPath = library;
  }
  return true;
}

int createComponent(const std::string& clsidOrProgId, ComponentPtr* out, std::string* error) {
  ComponentEntry entry;
  if (!findComponent(clsidOrProgId, &entry)) {
    if (error != nullptr) *error = "not registered: " + clsidOrProgId;
    return kComponentNotRegistered;
  }
  // RTLD_LOCAL keeps two libraries' private symbols apart; the library's own
  // dependencies (platform, vulay30) are shared by the loader as usual; the
  // library is never unloaded, since Qt keeps pointers into a loaded library.
  void* handle = dlopen(entry.libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    if (error != nullptr) *error = dlerror();
    return kComponentLoadFailed;
  }
  std::shared_ptr<void> library(handle, [](void* h) { dlclose(h); });
  auto create = reinterpret_cast<CreateFn>(dlsym(handle, "brindel_component_create"));
  auto destroy = reinterpret_cast<DestroyFn>(dlsym(handle, "brindel_component_destroy"));
  if (create == nullptr || destroy == nullptr) {
    if (error != nullptr) *error = "no component entry points in " + entry.libraryPath;
    return kComponentLoadFailed;
  }
  DispatchObject* object = nullptr;
  const int code = create(entry.clsid.c_str(), &object);
  if (code != 0 || object == nullptr) {
    if (error != nullptr) *error = "the library refused to create " + entry.clsid;
    return code != 0 ? code : kComponentLoadFailed;
  }
  *out = ComponentPtr(object, ComponentDeleter{std::move(library), destroy});
  return 0;
}

}  // namespace platform
