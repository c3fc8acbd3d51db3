#pragma once
// The control's result codes, declared once for the control and its tests.

namespace ocrctl {

// Result codes of the control.
namespace code {
inline constexpr short kOk = 0;
inline constexpr short kNothing = -1;
inline constexpr short kNoResult = -2;
inline constexpr short kNoDib = -132;
inline constexpr short kInitFailed = -1001;
inline constexpr short kNotReady = -1002;
inline constexpr short kNoFolder = -1003;
inline constexpr short kNoMemory = -1009;
inline constexpr short kReaderRefused = -1101;
inline constexpr short kOpenFailed = -1102;
inline constexpr short kReadFailed = -1105;
inline constexpr short kNoSkewImage = -1106;
inline constexpr short kPrepareFailed = -1107;
// A skew beyond what the correction takes on: nothing was turned.
inline constexpr short kSkewTooLarge = -1108;
inline constexpr short kSkewStatus3 = -1109;
inline constexpr short kSkewNotDone = -1110;
inline constexpr short kUnsupported = -1111;
inline constexpr short kAreaFailed = -1201;
inline constexpr short kLayoutFailed = -1205;
inline constexpr short kResultMemory = -1211;
inline constexpr short kStopped = -1212;
inline constexpr short kResultFull = -1213;
inline constexpr short kNotWhole = -1221;
inline constexpr short kEngineRefused = -1222;
inline constexpr short kPatternLoad = -1223;
inline constexpr short kNoPatterns = -1224;
inline constexpr short kNoSuchPattern = -1225;
inline constexpr short kEngineChange = -1226;
inline constexpr short kEngineDelete = -1227;
inline constexpr short kPatternWrite = -1228;
inline constexpr short kEmptyRect = -1229;
}  // namespace code

}  // namespace ocrctl
