#pragma once
// The OCR control's identity in the component registry, shared by the
// control's library (which registers it) and the host (which creates the
// control by it).
namespace ocrctl {
inline constexpr const char* kControlClassId = "{7A3C2F41-9E5B-4D8A-B6C1-30E2F5A9D730}";
inline constexpr const char* kControlProgId = "ZEQOCR.ZeqOcrCtrl.30";
inline constexpr const char* kControlTypeName = "ZEQOcr Control 3.0";
inline constexpr int kRegisterClassFailed = static_cast<int>(0x80040201);
}  // namespace ocrctl
