#pragma once
// The OCR control's state and its typed automation surface: one method per
// dispatch id (properties as get/set pairs). The dispatch adaptor
// (ocr_dispatch.h) maps Invoke onto these; a host in the same process may
// also call them directly.
//
// The control reaches the layout library only through libvulay30's exports
// (vulay30.h, vurcgj30.h). Every method answers a 16-bit code or a value;
// nothing throws out of the control.
//
// Library state is counted per control: InitOcr takes one reference of the
// library (InitLayout) and the destructor gives back exactly that one
// (CloseAlloc), so two controls side by side never close each other's
// library; the destructor frees only this control's own area copies.
#include "layout/records.h"
#include "ocrctl/area_list.h"
#include "ocrctl/pattern_store.h"
#include "ocrctl/result_codes.h"
#include "ocrctl/working_image.h"
#include "platform/global_memory.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <array>
#include <string>
#include <vector>

namespace ocrctl {

inline constexpr int kResultCapacity = 10000;
inline constexpr std::int32_t kVersion = 8208;
inline constexpr const char* kDefaultPatternFile = "ZeqOcr20.upt";

// State values.
enum class State { NoImage = 0, Image = 1, Layout = 2, Recognised = 3, Recognising = 4 };

class OcrControl {
 public:
  OcrControl();
  ~OcrControl();
  OcrControl(const OcrControl&) = delete;
  OcrControl& operator=(const OcrControl&) = delete;

  // The host's window for the library's drawing; may stay null.
  void setWindow(void* window) { window_ = window; }
  // Called after the page or the display scale changed (the view repaints).
  void setRepaint(std::function<void()> repaint) { repaint_ = std::move(repaint); }
  bool modified() const { return modified_; }
  State state() const { return state_; }
  const BitImage& workingImage() const { return image_; }
  const DisplayImage& displayImageData() const { return display_; }

  // Properties ------------------------------------------------------------
  short drawWidth() const { return static_cast<short>(image_.width); }
  short drawHeight() const { return static_cast<short>(image_.height); }
  void markModified() { modified_ = true; }
  short drawDpi() const { return dpi_; }
  void setDrawDpi(short dpi);
  short dispScale() const { return scale_; }
  void setDispScale(short scale);
  short form() const;
  void setForm(short value);
  short language() const;
  void setLanguage(short value);
  short letterDirection() const;
  void setLetterDirection(short value);
  short insertCrMode() const;
  void setInsertCrMode(short value);
  short blancOutMode() const;
  void setBlancOutMode(short value);
  short charAttr() const;
  void setCharAttr(short value);
  short activeId() const { return static_cast<short>(areas_.active() + 1); }
  void setActiveId(short number);
  short rcgNum() const { return static_cast<short>(areas_.count()); }
  short rcgLeft() const;
  short rcgTop() const;
  short rcgRight() const;
  short rcgBottom() const;
  // One edge of the active area (0 left, 1 top, 2 right, 3 bottom); nothing
  // without an active area.
  void setRcgEdge(int edge, short value);
  std::int32_t activeColor = 0x0000FF;
  std::int32_t rcgFieldColor = 0xFF0000;
  std::int32_t createColor = 0x7F7F7F;
  short activePensize = 1;
  short rcgFieldPensize = 1;
  short createPensize = 1;
  std::int32_t rcgJpnColor = 0x7F7FFF;
  std::int32_t rcgEngColor = 0xFF7F7F;
  short showCancel = 1;
  std::int32_t version() const { return kVersion; }
  std::int32_t dispOffset() const { return (scrollX_ & 0xFFFF) | (scrollY_ << 16); }
  std::int32_t betterMode = 0;
  const std::string& usrPatName() const { return usrPatName_; }
  void setUsrPatName(const std::string& name);
  short patNum() const { return patNum_; }
  const std::string& patTempDir() const { return patTempDir_; }
  void setPatTempDir(const std::string& folder);
  short specNum() const;
  void setSpecNum(short value);
  // The pattern dialog works on the store and its file directly: before it
  // opens, changes of the loaded section go to the file; after it wrote
  // the file or switched to another one, the control takes the store's path
  // as UsrPatName and reads the count and any loaded section again, so a
  // later save never writes a stale section into the file.
  PatternStore& patternStore() { return store_; }
  void flushPatternSection();
  void followPatternStore();
  void resetState();  // the persisted properties back to their defaults
  // The persisted properties live in the control's settings file
  // (ZEQOCR30.ini in the config folder), under the persistence version:
  // read when the control is made, written when it goes and they differ
  // from what was read. A file of another version is not read.
  static std::string settingsPath();
  void loadPersisted();
  bool savePersisted();
  // BorderStyle: 0 no border, 1 a single line.
  short borderStyle = 0;

  // Methods ---------------------------------------------------------------
  short InitOcr(const std::string& folder);
  short LoadImageFile(const std::string& path);
  short SetImageHandle(platform::GlobalHandle dib);
  short SkewAuto();
  short Rotate(short angle);
  short DoLayout();
  short DoRecognize();
  std::string GetOcrResult() const;  // UTF-8
  short SetRcgRect(short left, short top, short right, short bottom);
  short DeleteRcgRect(short number);
  short ModifyRcgRect(short number, short left, short top, short right, short bottom);
  short DeleteAllRcgRect();
  short GetRcgRect(short number, short* left, short* top, short* right, short* bottom) const;
  platform::GlobalHandle GetResultRectHandle(short* count) const;
  std::string GetRcgCandidate(short position);  // UTF-8; empty when none
  short SetSyncPos(short position);
  short GetResultRect(short position, short* left, short* top, short* right, short* bottom) const;
  short RegistPat(short character, short left, short top, short right, short bottom);
  short UpdatePat(short number, short flag);
  short DeletePat(short number);
  short SavePatFile();
  short LoadPatImageSection();
  short UnloadPatImageSection();
  short GetPatInfo(short index, short* character, short* flag, short* number) const;
  platform::GlobalHandle GetPatImage(short index) const;
  platform::GlobalHandle GetConfLevelHandle(short* count) const;
  short GetConfLevel(short position, short mode) const;
  short SkewAutoEx(short* angle, short* centreX, short* centreY);
  platform::GlobalHandle GetImageHandle() const;

  // Takes result blocks as GetRecg leaves them (6-byte entries; rectangles
  // of four values, indexed from 1) and collects their confidences: the step
  // DoRecognize takes after the library's call, open to a host that replays
  // a saved result and to tests.
  void adoptResult(std::vector<std::uint8_t> codes, std::vector<std::int32_t> rects, int count);

  // The run of DoRecognize as the host sees it.  The library asks the
  // control between lines whether to go on: requestStop (from the host's
  // stop button, or from a progress handler) ends the run with -1212.
  // The progress handler is told each line read (window coordinates, the
  // frame colour); the stop-dialog handler is told 1 shown, 0 hidden, -1
  // closed.  Pending Qt events are handled between lines so the host's
  // window stays live.
  void requestStop() { stopRequested_ = true; }
  void setRecognitionProgress(std::function<void(int left, int top, int right, int bottom, std::uint32_t colour)> f) {
    progress_ = std::move(f);
  }
  void setStopDialog(std::function<void(int visible)> f) { stopDialog_ = std::move(f); }

  // The areas as the view edits them, and the view's scroll offsets
  // (display pixels), which the library's progress frames follow.
  AreaList& areas() { return areas_; }
  const AreaList& areas() const { return areas_; }
  int scrollX() const { return scrollX_; }
  int scrollY() const { return scrollY_; }
  void setScroll(int x, int y) {
    scrollX_ = x;
    scrollY_ = y;
  }
  // Image rectangle of the result character shown by SetSyncPos and
  // GetRcgCandidate; empty when none.
  QRect highlight() const;
  // Called when the highlighted character changed, to bring it into view.
  void setHighlightShown(std::function<void()> f) { highlightShown_ = std::move(f); }
  // True while the library reads: the view ignores mouse and keys then.
  bool recognising() const { return state_ == State::Recognising; }

  // What the last recognition left, for hosts and tests.
  short confidenceCount() const { return confidenceCount_; }
  const ParamBlock& defaultParams() const { return defaults_; }

 private:
  short takePicture(const std::uint8_t* rows, std::size_t stride, int width, int height);
  short preparePage();
  short skewResult(short status);
  ParamBlock& activeBlock();
  const ParamBlock& activeBlock() const;
  userfld* activeArea() const { return areas_.activeArea(); }
  void repaint() {
    if (repaint_) repaint_();
  }
  // Index of the code entry at a text position from 1 (-1 when none).
  int entryAtPosition(int position) const;
  void collectConfidences();
  bool sectionRecord(int index, const std::uint8_t** record) const;
  int findPattern(short number) const;

  void* window_ = nullptr;
  std::function<void()> repaint_;
  std::function<void()> highlightShown_;
  bool stopRequested_ = false;
  std::function<void(int, int, int, int, std::uint32_t)> progress_;
  std::function<void(int)> stopDialog_;
  bool modified_ = false;

  PatternStore store_;
  int sourceWidth_ = 0;
  int sourceHeight_ = 0;
  int sourceDepth_ = 0;
  std::vector<std::uint8_t> codes_;   // 6-byte entries
  std::vector<std::int32_t> rects_;   // 4 values per entry
  bool haveResultBlocks_ = false;
  short resultCount_ = 0;
  BitImage image_;
  DisplayImage display_;
  short dpi_ = 400;
  AreaList areas_;
  ParamBlock defaults_;
  std::array<std::int32_t, 8> persistedAsRead_{};
  std::array<std::int32_t, 8> persistedValues() const;
  short scale_ = 8;
  State state_ = State::NoImage;
  bool initialised_ = false;
  bool libraryReference_ = false;
  int scrollX_ = 0;
  int scrollY_ = 0;
  std::string dictionaryFolder_;
  std::string usrPatName_;
  std::string patTempDir_;
  std::vector<std::uint8_t> section_;
  bool sectionLoaded_ = false;
  short patNum_ = 0;
  bool patternsChanged_ = false;
  std::vector<std::int16_t> confidences_;
  short confidenceCount_ = 0;
  int highlight_[4] = {-1, -1, -1, -1};
};

// The control's code for a status of the skew correction; 0 when the page
// was turned and is to be prepared again.
short skewStatusCode(short status);

// Level 1-8 of a recognition distance (smaller distance, surer, higher level).
short confidenceLevel(int distance);

}  // namespace ocrctl
