// The two shared libraries are built as real shared objects and load on their own.
#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {
void expectLoads(const char* path, const char* symbol) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  EXPECT_NE(dlsym(handle, symbol), nullptr) << symbol;
  dlclose(handle);
}
}  // namespace

TEST(SharedLibraries, Vulay30Loads) { expectLoads(VULAY30_PATH, "InitLayout"); }
TEST(SharedLibraries, ZeqOcr30Loads) { expectLoads(ZEQOCR30_PATH, "zeqocr30_version"); }
