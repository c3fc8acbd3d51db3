// brindel-regcomponent: enters a component library (the OCR control) in the
// component registry through the library's own registration entry, as an
// installation does once; -u takes it out again.
//
//   brindel-regcomponent [-u] <library.so>
//
// The library is opened by its absolute path, which is what it records: a
// relative path would name another file once the program starts elsewhere.
#include <dlfcn.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  const bool unregister = argc == 3 && std::strcmp(argv[1], "-u") == 0;
  if (argc != 2 && !unregister) {
    std::fprintf(stderr, "usage: brindel-regcomponent [-u] <library.so>\n");
    return 2;
  }
  const char* library = argv[argc - 1];
  char absolute[PATH_MAX];
  if (!realpath(library, absolute)) {
    std::perror(library);
    return 2;
  }
  void* handle = dlopen(absolute, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 2;
  }
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  auto call = reinterpret_cast<int (*)()>(dlsym(handle, entry));
  if (!call) {
    std::fprintf(stderr, "%s: no %s\n", absolute, entry);
    dlclose(handle);
    return 2;
  }
  const int code = call();
  dlclose(handle);
  if (code != 0) {
    std::fprintf(stderr, "%s: %s failed (0x%08x)\n", absolute, entry, static_cast<unsigned>(code));
    return 1;
  }
  return 0;
}
