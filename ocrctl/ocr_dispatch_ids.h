#pragma once
// The OCR control's automation surface by dispatch id: the properties and
// methods the control dispatches and the host calls, and the events it
// fires. Both sides include this one header, so an id cannot mean one thing
// to the host and another to the control. Header only: including it links
// nothing of the control into the host.
//
//   dispid::k*   properties (1-32), methods (60-90), the stock members
//   event::k*    events (1-6)

namespace ocrctl {

namespace dispid {
// Properties.
inline constexpr int kDrawWidth = 1;
inline constexpr int kDrawHeight = 2;
inline constexpr int kDrawDpi = 3;
inline constexpr int kDispScale = 4;
inline constexpr int kForm = 5;
inline constexpr int kLanguage = 6;
inline constexpr int kLetterDirection = 7;
inline constexpr int kInsertCRMode = 8;
inline constexpr int kBlancOutMode = 9;
inline constexpr int kCharAttr = 10;
inline constexpr int kActiveId = 11;
inline constexpr int kRcgNum = 12;
inline constexpr int kRcgLeft = 13;
inline constexpr int kRcgTop = 14;
inline constexpr int kRcgRight = 15;
inline constexpr int kRcgBottom = 16;
inline constexpr int kActiveColor = 17;
inline constexpr int kRcgFieldColor = 18;
inline constexpr int kCreateColor = 19;
inline constexpr int kActivePensize = 20;
inline constexpr int kRcgFieldPensize = 21;
inline constexpr int kCreatePensize = 22;
inline constexpr int kRcgJpnColor = 23;
inline constexpr int kRcgEngColor = 24;
inline constexpr int kShowCancel = 25;
inline constexpr int kVersion = 26;
inline constexpr int kDispOffset = 27;
inline constexpr int kBetterMode = 28;
inline constexpr int kUsrPatName = 29;
inline constexpr int kPatNum = 30;
inline constexpr int kPatTempDir = 31;
inline constexpr int kSpecNum = 32;

// Methods.
inline constexpr int kInitOcr = 60;
inline constexpr int kLoadImageFile = 61;
inline constexpr int kSetImageHandle = 62;
inline constexpr int kSkewAuto = 63;
inline constexpr int kRotate = 64;
inline constexpr int kDoLayout = 65;
inline constexpr int kShowParamSet = 66;
inline constexpr int kDoRecognize = 67;
inline constexpr int kGetOcrResult = 68;
inline constexpr int kSetRcgRect = 69;
inline constexpr int kDeleteRcgRect = 70;
inline constexpr int kModifyRcgRect = 71;
inline constexpr int kDeleteAllRcgRect = 72;
inline constexpr int kGetRcgRect = 73;
inline constexpr int kGetResultRectHandle = 74;
inline constexpr int kGetRcgCandidate = 75;
inline constexpr int kSetSyncPos = 76;
inline constexpr int kGetResultRect = 77;
inline constexpr int kRegistPat = 78;
inline constexpr int kUpdatePat = 79;
inline constexpr int kDeletePat = 80;
inline constexpr int kSavePatFile = 81;
inline constexpr int kLoadPatImageSection = 82;
inline constexpr int kUnloadPatImageSection = 83;
inline constexpr int kUserPatMant = 84;
inline constexpr int kGetPatInfo = 85;
inline constexpr int kGetPatImage = 86;
inline constexpr int kGetConfLevelHandle = 87;
inline constexpr int kGetConfLevel = 88;
inline constexpr int kSkewAutoEx = 89;
inline constexpr int kGetImageHandle = 90;

// The stock members of a control.
inline constexpr int kBorderStyle = -504;
inline constexpr int kRefresh = -550;
inline constexpr int kAboutBox = -552;
}  // namespace dispid

// Events, fired to the host's sink.
namespace event {
inline constexpr int kAreaCreated = 1;
inline constexpr int kAreaDeleted = 2;
inline constexpr int kAreaModified = 3;
inline constexpr int kActiveAreaChanged = 4;
inline constexpr int kAreaNoChanged = 5;
inline constexpr int kViewScrolled = 6;
}  // namespace event

}  // namespace ocrctl
