// The exported entry points of libZEQOCR30: its version, its registration in
// the component registry, and the creation of the control by class id.
#include "ocrctl/control_identity.h"
#include "ocrctl/ocr_dispatch.h"
#include "platform/component_registry.h"

#include <dlfcn.h>

#include <cstring>

#define ZEQOCR30_API extern "C" __attribute__((visibility("default")))

namespace {
std::string ownLibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ownLibraryPath), &info) == 0 || info.dli_fname == nullptr) return {};
  return info.dli_fname;
}
}  // namespace

ZEQOCR30_API const char* zeqocr30_version() { return "3.0"; }

// 0, or 0x80040201 when the registry cannot be written.
ZEQOCR30_API int DllRegisterServer() {
  try {
    platform::ComponentEntry entry;
    entry.clsid = ocrctl::kControlClassId;
    entry.progId = ocrctl::kControlProgId;
    entry.typeName = ocrctl::kControlTypeName;
    entry.libraryPath = ownLibraryPath();
    return platform::registerComponent(entry) ? 0 : ocrctl::kRegisterClassFailed;
  } catch (...) {
    return ocrctl::kRegisterClassFailed;
  }
}

ZEQOCR30_API int DllUnregisterServer() {
  try {
    return platform::unregisterComponent(ocrctl::kControlClassId) ? 0 : ocrctl::kRegisterClassFailed;
  } catch (...) {
    return ocrctl::kRegisterClassFailed;
  }
}

ZEQOCR30_API int brindel_component_create(const char* clsid, platform::DispatchObject** out) {
  if (clsid == nullptr || out == nullptr) return platform::kComponentNotRegistered;
  if (std::strcmp(clsid, ocrctl::kControlClassId) != 0) return platform::kComponentNotRegistered;
  try {
    *out = new ocrctl::OcrDispatch();
    return 0;
  } catch (...) {
    return platform::kComponentLoadFailed;
  }
}

ZEQOCR30_API void brindel_component_destroy(platform::DispatchObject* object) { delete object; }
