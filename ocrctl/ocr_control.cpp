#include "ocrctl/ocr_control.h"

#include "layout/vulay30.h"
#include "layout/vurcgj30.h"
#include "platform/imaging/image.h"
#include "platform/imaging/image_codec.h"
#include "platform/imaging/image_ops.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"

#include <QCoreApplication>
#include <QString>
#include <leptonica/allheaders.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <tuple>

namespace ocrctl {

namespace {

constexpr int kEntryBytes = 6;
// A character that no recognised-character record stands for (English
// fields are read whole by their engine) gets this middle distance.
constexpr int kUnknownDistance = 1000;

bool isMarker(const std::uint8_t* e) { return e[0] == 0 && (e[1] == 1 || e[1] == 2); }
bool isTabOrLineEnd(const std::uint8_t* e) { return e[0] == 0 && (e[1] == 9 || e[1] == 10); }
std::int16_t rectIndexOf(const std::uint8_t* e) { return static_cast<std::int16_t>(e[2] | (e[3] << 8)); }

bool isLeadByte(unsigned b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The full-width form of a single-byte Shift-JIS character, lead byte in the
// low half of the result (as the pattern methods take a code); 0 when none.
std::uint16_t fullWidthOf(unsigned single) {
  std::string utf8;
  if (single == 0x20) {
    utf8 = "\u3000";
  } else if (single >= 0x21 && single <= 0x7E) {
    const char32_t wide = U'\uFF01' + (single - 0x21);
    utf8 = QString::fromUcs4(&wide, 1).toStdString();
  } else if (single >= 0xA1 && single <= 0xDF) {
    static const char32_t kana[] = U"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
    utf8 = QString::fromUcs4(&kana[single - 0xA1], 1).toStdString();
  } else {
    return 0;
  }
  const auto sjis = platform::toCp932(utf8);
  if (!sjis || sjis->size() != 2) return 0;
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>((*sjis)[0]) |
                                    (static_cast<std::uint8_t>((*sjis)[1]) << 8));
}

bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& out, bool* opened) {
  std::ifstream in(path, std::ios::binary);
  *opened = in.is_open();
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool isFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

short confidenceLevel(int d) {
  if (d <= 900) return 8;
  if (d < 1000) return 7;
  if (d < 1100) return 6;
  if (d < 1200) return 5;
  if (d < 1300) return 4;
  if (d < 1400) return 3;
  if (d < 1500) return 2;
  return 1;
}

OcrControl::OcrControl() {
  defaults_.setByte(ParamBlock::kDirection, 3);
  defaults_.setByte(ParamBlock::kNoVerticalMargin, 1);
  defaults_.setByte(ParamBlock::kNoHorizontalMargin, 1);
  defaults_.setByte(ParamBlock::kLineEnds, 1);
  loadPersisted();
}

OcrControl::~OcrControl() {
  savePersisted();
  if (sectionLoaded_ && patternsChanged_) SavePatFile();
  // The areas go back to the library's pools before it is closed.
  areas_.freeOwn();
  if (libraryReference_) CloseAlloc();
  store_.deleteLearningFiles();
}

void OcrControl::resetState() {
  activeColor = 0x0000FF;
  rcgFieldColor = 0xFF0000;
  createColor = 0x7F7F7F;
  activePensize = rcgFieldPensize = createPensize = 1;
  rcgJpnColor = 0x7F7FFF;
  rcgEngColor = 0xFF7F7F;
}

// Persisted properties ------------------------------------------------------

namespace {

constexpr const char* kSettingsSection = "ZeqOcr3";
constexpr int kPersistenceVersion = 0x30000;
constexpr const char* kPersistedNames[] = {"ActiveColor",   "RcgFieldColor",   "CreateColor",
                                           "ActivePensize", "RcgFieldPensize", "CreatePensize",
                                           "RcgJpnColor",   "RcgEngColor"};

}  // namespace

std::string OcrControl::settingsPath() { return platform::joinPath(platform::configFolder(), "ZEQOCR30.ini"); }

std::array<std::int32_t, 8> OcrControl::persistedValues() const {
  return {activeColor, rcgFieldColor, createColor, activePensize, rcgFieldPensize, createPensize,
          rcgJpnColor, rcgEngColor};
}

void OcrControl::loadPersisted() {
  resetState();
  const std::string path = settingsPath();
  if (platform::getProfileInt(path, kSettingsSection, "Version", 0) == kPersistenceVersion) {
    std::array<std::int32_t, 8> v = persistedValues();
    for (std::size_t i = 0; i < v.size(); ++i)
      v[i] = platform::getProfileInt(path, kSettingsSection, kPersistedNames[i], v[i]);
    activeColor = v[0] & 0xFFFFFF;
    rcgFieldColor = v[1] & 0xFFFFFF;
    createColor = v[2] & 0xFFFFFF;
    // The file is outside text: a width is kept to what a frame can be.
    const auto pen = [](std::int32_t w) { return static_cast<short>(std::clamp(w, 0, 255)); };
    activePensize = pen(v[3]);
    rcgFieldPensize = pen(v[4]);
    createPensize = pen(v[5]);
    rcgJpnColor = v[6] & 0xFFFFFF;
    rcgEngColor = v[7] & 0xFFFFFF;
  }
  persistedAsRead_ = persistedValues();
}

bool OcrControl::savePersisted() {
  const std::array<std::int32_t, 8> v = persistedValues();
  if (v == persistedAsRead_) return true;
  const std::string path = settingsPath();
  std::error_code ec;
  std::filesystem::create_directories(platform::configFolder(), ec);
  bool written = platform::writeProfileString(path, kSettingsSection, "Version", std::to_string(kPersistenceVersion));
  for (std::size_t i = 0; i < v.size() && written; ++i)
    written = platform::writeProfileString(path, kSettingsSection, kPersistedNames[i], std::to_string(v[i]));
  if (written) persistedAsRead_ = v;
  return written;
}

// Properties ----------------------------------------------------------------

ParamBlock& OcrControl::activeBlock() {
  userfld* area = activeArea();
  return area != nullptr ? area->params : defaults_;
}
const ParamBlock& OcrControl::activeBlock() const {
  userfld* area = activeArea();
  return area != nullptr ? area->params : defaults_;
}

void OcrControl::setDrawDpi(short dpi) {
  dpi_ = dpi;
  modified_ = true;
}

void OcrControl::setDispScale(short scale) {
  if (scale != 1 && scale != 2 && scale != 4 && scale != 8 && scale != 16) return;
  if (image_.empty() || scale == scale_) return;
  DisplayImage display = displayImage(image_, scale);
  if (scale != 1 && display.bits.empty()) return;
  // The view keeps showing the same part of the page.
  scrollX_ = scale_ * scrollX_ / scale;
  scrollY_ = scale_ * scrollY_ / scale;
  display_ = std::move(display);
  scale_ = scale;
  repaint();
}

short OcrControl::form() const {
  const std::uint8_t b = activeBlock().byte(ParamBlock::kForm);
  return b == 255 ? 1 : b == 1 ? 2 : 0;
}
void OcrControl::setForm(short value) {
  activeBlock().setByte(ParamBlock::kForm, value == 1 ? 255 : value == 2 ? 1 : 0);
  modified_ = true;
}

short OcrControl::language() const {
  const ParamBlock& b = activeBlock();
  if (b.byte(ParamBlock::kLanguageAuto) == 1) return -1;
  return b.word(ParamBlock::kLanguageWord) == 1 ? 1 : 0;
}
void OcrControl::setLanguage(short value) {
  ParamBlock& b = activeBlock();
  b.setByte(ParamBlock::kLanguageAuto, value == -1 ? 1 : 0);
  b.setWord(ParamBlock::kLanguageWord, value == 1 ? 1 : 0);
  modified_ = true;
}

short OcrControl::letterDirection() const {
  const ParamBlock& b = activeBlock();
  const bool tiers = b.word(ParamBlock::kTierCount) == 1;
  switch (b.byte(ParamBlock::kDirection)) {
    case 0: return tiers ? 1 : 2;
    case 1: return tiers ? 3 : 4;
    default: return 0;
  }
}
void OcrControl::setLetterDirection(short value) {
  ParamBlock& b = activeBlock();
  std::uint8_t direction = 3;
  std::int16_t tiers = 0;
  std::uint8_t single = 0;
  switch (value) {
    case 1: direction = 0; tiers = 1; single = 1; break;
    case 2: direction = 0; break;
    case 3: direction = 1; tiers = 1; single = 1; break;
    case 4: direction = 1; break;
    default: break;
  }
  b.setByte(ParamBlock::kDirection, direction);
  b.setWord(ParamBlock::kTierCount, tiers);
  b.setByte(ParamBlock::kSingleBlock, single);
  modified_ = true;
}

short OcrControl::insertCrMode() const { return activeBlock().byte(ParamBlock::kLineEnds) != 1 ? 1 : 0; }
void OcrControl::setInsertCrMode(short value) {
  activeBlock().setByte(ParamBlock::kLineEnds, value == 0 ? 1 : 0);
  modified_ = true;
}

short OcrControl::blancOutMode() const { return activeBlock().byte(ParamBlock::kBlankOutput) == 1 ? 1 : 0; }
void OcrControl::setBlancOutMode(short value) {
  activeBlock().setByte(ParamBlock::kBlankOutput, value == 1 ? 1 : 0);
  modified_ = true;
}

short OcrControl::charAttr() const {
  const std::int16_t mask = activeBlock().word(ParamBlock::kCharKindMask);
  return mask == 0 ? 63 : mask;
}
void OcrControl::setCharAttr(short value) {
  activeBlock().setWord(ParamBlock::kCharKindMask, value == 63 ? 0 : value);
  modified_ = true;
}

// Without an active area every edge answers -1201 (the top too).
short OcrControl::rcgLeft() const {
  const userfld* a = activeArea();
  return a != nullptr ? a->left : code::kAreaFailed;
}
short OcrControl::rcgTop() const {
  const userfld* a = activeArea();
  return a != nullptr ? a->top : code::kAreaFailed;
}
short OcrControl::rcgRight() const {
  const userfld* a = activeArea();
  return a != nullptr ? a->right : code::kAreaFailed;
}
short OcrControl::rcgBottom() const {
  const userfld* a = activeArea();
  return a != nullptr ? a->bottom : code::kAreaFailed;
}

short OcrControl::specNum() const { return activeBlock().word(ParamBlock::kSpecWord); }
void OcrControl::setSpecNum(short value) {
  activeBlock().setWord(ParamBlock::kSpecWord, value < 0 ? 0 : value);
  modified_ = true;
}

void OcrControl::setPatTempDir(const std::string& folder) {
  // The engine finds the folder through the library's own copy of the
  // path (InitLayout); the block's pointer bytes stay 0 in this build.
  patTempDir_ = folder;
}

void OcrControl::setUsrPatName(const std::string& name) {
  if (!initialised_) {
    usrPatName_ = name;
    return;
  }
  if (name == usrPatName_) return;
  store_.setPatternPath(name);
  std::vector<std::uint8_t> section;
  if (!store_.loadPatternFile(&section, true)) {
    // The store keeps working on the file the property names.
    store_.setPatternPath(usrPatName_);
    return;
  }
  usrPatName_ = name;
  // A section loaded from the old file follows the new one, so PatNum and
  // the records it counts always agree.
  if (sectionLoaded_) {
    section_ = section;
    if (section_.size() < 2) section_.assign(2, 0);
    patternsChanged_ = false;
  }
  patNum_ = section.size() >= 2 ? static_cast<short>(section[0] | (section[1] << 8)) : 0;
  if (sectionLoaded_) {
    const auto records = static_cast<short>((section_.size() - 2) / kPatternRecordBytes);
    patNum_ = std::clamp<short>(patNum_, 0, records);
  }
}

void OcrControl::flushPatternSection() {
  if (sectionLoaded_ && patternsChanged_) SavePatFile();
}

void OcrControl::followPatternStore() {
  if (!initialised_ || store_.patternPath().empty()) return;
  usrPatName_ = store_.patternPath();
  std::vector<std::uint8_t> section;
  if (!store_.readPatternImages(section) || section.size() < 2) section.assign(2, 0);
  const int stated = static_cast<std::int16_t>(section[0] | (section[1] << 8));
  const int present = static_cast<int>((section.size() - 2) / kPatternRecordBytes);
  patNum_ = static_cast<short>(std::clamp(stated, 0, present));
  if (sectionLoaded_) {
    section_ = std::move(section);
    patternsChanged_ = false;
  }
}

// Methods -------------------------------------------------------------------

short OcrControl::InitOcr(const std::string& folder) {
  if (initialised_) return code::kOk;
  resultCount_ = 0;
  dictionaryFolder_ = folder;
  if (patTempDir_.empty()) setPatTempDir(folder);
  if (!isFolder(patTempDir_)) return code::kNoFolder;
  // One library reference per control, also when a first InitOcr failed
  // after taking it (the pattern file) and the host tries again.
  if (!libraryReference_) {
    if (InitLayout(folder.c_str(), patTempDir_.c_str(), 1) == 0) return code::kInitFailed;
    libraryReference_ = true;
  }
  std::string fileName = kDefaultPatternFile;
  std::string patternFolder = folder;
  if (!usrPatName_.empty()) {
    patternFolder = platform::withoutTrailingSlash(platform::parentPath(usrPatName_));
    fileName = platform::fileNameOf(usrPatName_);
  }
  if (!store_.open(fileName, patternFolder, patTempDir_, folder)) return code::kInitFailed;
  usrPatName_ = store_.patternPath();
  initialised_ = true;
  return code::kOk;
}

short OcrControl::takePicture(const std::uint8_t* rows, std::size_t stride, int width, int height) {
  BitImage taken;
  if (!takeBitonal(rows, stride, width, height, taken)) return code::kNoMemory;
  image_ = std::move(taken);
  display_ = {};
  sourceWidth_ = width;
  sourceHeight_ = height;
  return code::kOk;
}

short OcrControl::preparePage() {
  if (areas_.count() > 0) DeleteAllRcgRect();
  highlight_[0] = -1;
  state_ = State::Image;
  std::uint16_t horizontal = 0;
  std::uint16_t vertical = 0;
  if (GetLines(window_, image_.bits.data(), static_cast<short>(image_.width), static_cast<short>(image_.height),
               static_cast<std::uint16_t>(dpi_), &horizontal, &vertical) == 0)
    return code::kPrepareFailed;
  display_ = displayImage(image_, scale_);
  if (scale_ != 1 && display_.bits.empty()) return code::kPrepareFailed;
  if (repaint_) repaint_();
  return code::kOk;
}

short OcrControl::LoadImageFile(const std::string& path) {
  namespace img = platform::imaging;
  std::vector<std::uint8_t> bytes;
  bool opened = false;
  if (!readFileBytes(path, bytes, &opened)) return opened ? code::kReadFailed : code::kOpenFailed;
  img::FileInfo info;
  const short examined = img::examineImage(bytes, 1, info);
  if (examined == img::kErrorNoMemory) return code::kNoMemory;
  if (examined == img::kErrorFormat) return code::kUnsupported;
  if (examined != img::kOk) return code::kReadFailed;
  // One page at a time: a multi-page TIFF is not a page.
  if (img::format::isTiff(info.format) && info.pageCount > 1) return code::kUnsupported;
  img::PixPtr pix = img::decodeImage(bytes, 1, info.format, 1);
  if (!pix) return code::kReadFailed;
  img::PixPtr bitonal = pixGetDepth(pix.get()) == 1 ? std::move(pix) : img::convertToBits(pix.get(), 1, false);
  if (!bitonal || pixGetDepth(bitonal.get()) != 1) return code::kNoMemory;
  // A palette that maps 0 to black is folded into the bits first.
  if (pixGetColormap(bitonal.get()) != nullptr) {
    img::PixPtr plain(pixRemoveColormap(bitonal.get(), REMOVE_CMAP_TO_BINARY));
    if (!plain) return code::kNoMemory;
    bitonal = std::move(plain);
  }
  const int w = static_cast<int>(pixGetWidth(bitonal.get()));
  const int h = static_cast<int>(pixGetHeight(bitonal.get()));
  const int wpl = pixGetWpl(bitonal.get());
  const l_uint32* data = pixGetData(bitonal.get());
  // Leptonica keeps 32-bit words with the leftmost pixel in the top bit.
  const std::size_t stride = static_cast<std::size_t>(wpl) * 4;
  std::vector<std::uint8_t> rows;
  try {
    rows.resize(stride * static_cast<std::size_t>(h));
  } catch (const std::bad_alloc&) {
    return code::kNoMemory;
  }
  for (std::size_t i = 0; i < static_cast<std::size_t>(wpl) * h; ++i) {
    const l_uint32 word = data[i];
    rows[4 * i] = static_cast<std::uint8_t>(word >> 24);
    rows[4 * i + 1] = static_cast<std::uint8_t>(word >> 16);
    rows[4 * i + 2] = static_cast<std::uint8_t>(word >> 8);
    rows[4 * i + 3] = static_cast<std::uint8_t>(word);
  }
  sourceDepth_ = info.bitsPerPixel;
  if (const short taken = takePicture(rows.data(), stride, w, h); taken != code::kOk)
    return w > kMaxPageSide || h > kMaxPageSide ? code::kUnsupported : taken;
  return preparePage();
}

short OcrControl::SetImageHandle(platform::GlobalHandle dib) {
  if (dib == 0) return code::kNoDib;
  const std::uint8_t* bytes = platform::globalLock(dib);
  if (bytes == nullptr) return code::kNoDib;
  Bitonal picture;
  const short converted = dibToBitonal({bytes, platform::globalSize(dib)}, picture);
  platform::globalUnlock(dib);
  if (converted != code::kOk) return converted;
  sourceDepth_ = picture.sourceDepth;
  if (const short taken = takePicture(picture.rows.data(), picture.stride, picture.width, picture.height);
      taken != code::kOk)
    return taken;
  return preparePage();
}

short skewStatusCode(short status) {
  switch (status) {
    case -1: return code::kNoMemory;
    case 0:
    case 1: return code::kSkewNotDone;
    case 3: return code::kSkewStatus3;
    case -2: return code::kNoSkewImage;
    // Beyond the limit nothing was turned: the page and its areas stay.
    case 4: return code::kSkewTooLarge;
    default: return code::kOk;
  }
}

short OcrControl::skewResult(short status) {
  const short mapped = skewStatusCode(status);
  return mapped != code::kOk ? mapped : preparePage();
}

short OcrControl::SkewAuto() {
  if (image_.empty()) return code::kNoSkewImage;
  return skewResult(AutoRotate(image_.bits.data(), 0, static_cast<short>(image_.width),
                               static_cast<short>(image_.height), &defaults_, 0, nullptr));
}

short OcrControl::SkewAutoEx(short* angle, short* centreX, short* centreY) {
  if (image_.empty()) return code::kNoSkewImage;
  short a = 0, x = 0, y = 0;
  const short status = AutoRotateEx(image_.bits.data(), 0, static_cast<short>(image_.width),
                                    static_cast<short>(image_.height), &defaults_, 0, nullptr, &a, &x, &y);
  if (angle != nullptr) *angle = a;
  if (centreX != nullptr) *centreX = x;
  if (centreY != nullptr) *centreY = y;
  return skewResult(status);
}

short OcrControl::Rotate(short angle) {
  if (image_.empty()) return code::kNoSkewImage;
  short turn = angle;
  if (angle == 0) {
    const short found = AutoRotatePaper(image_.bits.data(), static_cast<short>(image_.width),
                                        static_cast<std::uint16_t>(image_.height), static_cast<std::uint16_t>(dpi_));
    turn = found == 90 || found == 180 || found == 270 ? found : 0;
  }
  if (turn != 90 && turn != 180 && turn != 270) return code::kNothing;
  if (!turnImage(image_, turn)) return code::kNothing;
  std::swap(sourceWidth_, sourceHeight_);
  if (const short prepared = preparePage(); prepared != code::kOk) return prepared;
  return angle == 0 ? turn : code::kOk;
}

short OcrControl::DoLayout() {
  if (image_.empty() || state_ == State::NoImage) return code::kNotReady;
  if (GetLayout(window_, &defaults_, image_.bits.data(), areas_.ring(), static_cast<short>(image_.width),
                static_cast<short>(image_.height), static_cast<std::uint16_t>(dpi_), nullptr, -1) == 0)
    return code::kLayoutFailed;
  state_ = State::Layout;
  areas_.ringReplaced();
  repaint();
  return code::kOk;
}

short OcrControl::DeleteAllRcgRect() {
  if (!areas_.clear()) return code::kAreaFailed;
  repaint();
  return code::kOk;
}

short OcrControl::SetRcgRect(short left, short top, short right, short bottom) {
  const short number = areas_.add(left, top, right, bottom, defaults_);
  if (number > 0) repaint();
  return number;
}

short OcrControl::DeleteRcgRect(short number) {
  if (number <= 0) return code::kNothing;
  if (!areas_.remove(number - 1)) return code::kAreaFailed;
  repaint();
  return code::kOk;
}

short OcrControl::ModifyRcgRect(short number, short left, short top, short right, short bottom) {
  if (number <= 0) return code::kNoSuchArea;
  if (!areas_.setRect(number - 1, QRect(QPoint(left, top), QPoint(right, bottom)))) return code::kAreaFailed;
  repaint();
  return code::kOk;
}

short OcrControl::GetRcgRect(short number, short* left, short* top, short* right, short* bottom) const {
  const userfld* area = areas_.at(number - 1);
  if (area == nullptr) return code::kNoSuchArea;
  if (left != nullptr) *left = area->left;
  if (top != nullptr) *top = area->top;
  if (right != nullptr) *right = area->right;
  if (bottom != nullptr) *bottom = area->bottom;
  return code::kOk;
}

void OcrControl::setActiveId(short number) {
  if (number <= 0 || number > areas_.count() || areas_.active() < 0 || number == activeId()) return;
  areas_.setActive(number - 1);
  modified_ = true;
  repaint();
}

void OcrControl::setRcgEdge(int edge, short value) {
  const userfld* area = activeArea();
  if (area == nullptr) return;
  QRect r = AreaList::rectOf(*area);
  switch (edge) {
    case 0: r.setLeft(value); break;
    case 1: r.setTop(value); break;
    case 2: r.setRight(value); break;
    default: r.setBottom(value); break;
  }
  if (areas_.setRect(areas_.active(), r)) modified_ = true;
  repaint();
}

QRect OcrControl::highlight() const {
  if (highlight_[0] < 0) return {};
  return QRect(QPoint(highlight_[0], highlight_[1]), QPoint(highlight_[2], highlight_[3]));
}

short OcrControl::DoRecognize() {
  DoLayout();
  if (!initialised_ || image_.empty() || state_ != State::Layout) return code::kNotReady;
  try {
    codes_.assign(static_cast<std::size_t>(kResultCapacity) * kEntryBytes, 0);
    rects_.assign(static_cast<std::size_t>(kResultCapacity) * 4, 0);
  } catch (const std::bad_alloc&) {
    codes_.clear();
    rects_.clear();
    haveResultBlocks_ = false;
    return code::kResultMemory;
  }
  haveResultBlocks_ = true;
  resultCount_ = 0;
  VuRecgResult record{};
  // Tab between cells, line feed after a field: the values the control has
  // always handed over (any but 0 and 1 keeps the tab, any but 0-2 a line feed).
  record.cellSeparator = 9;
  record.fieldTerminator = 10;
  record.text = codes_.data();
  record.textCapacity = kResultCapacity;
  record.rects = rects_.data();
  record.rectCapacity = kResultCapacity;
  VuRecgDisplay display{};
  display.scale = static_cast<std::uint16_t>(scale_);
  display.xOffset = static_cast<std::int16_t>(scrollX_);
  display.yOffset = static_cast<std::int16_t>(scrollY_);
  display.stopMode = showCancel;
  display.unusedColour = static_cast<std::uint32_t>(rcgJpnColor);
  display.frameColour = static_cast<std::uint32_t>(rcgEngColor);
  state_ = State::Recognising;
  stopRequested_ = false;
  // The library runs in the caller's thread and keeps one set of callbacks:
  // they name this control for the length of the call only.
  VuRecgCallbacks callbacks{};
  callbacks.context = this;
  callbacks.stopDialog = [](void* c, int visible) {
    auto* self = static_cast<OcrControl*>(c);
    if (self->stopDialog_) self->stopDialog_(visible);
  };
  callbacks.pump = [](void* c) -> int {
    auto* self = static_cast<OcrControl*>(c);
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
    return self->stopRequested_ ? 1 : 0;
  };
  callbacks.lineDone = [](void* c, const VuRect* r, std::uint32_t colour) {
    auto* self = static_cast<OcrControl*>(c);
    if (self->progress_ && r != nullptr) self->progress_(r->left, r->top, r->right, r->bottom, colour);
  };
  SetRecgCallbacks(&callbacks);
  const short status = GetRecg(window_, &defaults_, image_.bits.data(), areas_.ring(), static_cast<short>(image_.width),
                               static_cast<short>(image_.height), static_cast<std::uint16_t>(dpi_), &record,
                               &display);
  SetRecgCallbacks(nullptr);
  stopRequested_ = false;
  if (status < 0) {
    // The view must take input again whatever the library answered.
    state_ = State::Layout;
    // A stop leaves the library without result fields: the areas go as after
    // a finished run, so the next DoRecognize lays the page out afresh
    // instead of reading nothing and answering 0.
    if (status == -1) DeleteAllRcgRect();
    return status == -1 ? code::kStopped : status;
  }
  // A positive status counts fields the engine could not read: what it did
  // read is taken, and the count is handed on.
  resultCount_ = static_cast<short>(std::min<int>(record.textUsed, kResultCapacity));
  short result = status;
  collectConfidences();
  if (resultCount_ > kResultCapacity - 2) result = code::kResultFull;
  DeleteAllRcgRect();
  state_ = State::Recognised;
  return result;
}

void OcrControl::collectConfidences() {
  // One value per character the text shows (every entry but the markers,
  // tabs and line ends), in text order, so that GetConfLevel's positions
  // and the text agree also where no character record stands behind a
  // character (English fields, inserted blanks).
  std::multimap<std::tuple<int, int, int, int>, std::int16_t> distances;
  userfld* head = nullptr;
  if (getRcgS_fld(&head) != 0 && head != nullptr) {
    for (userfld* f = head->next; f != head; f = f->next) {
      if (f->lines == nullptr) continue;
      for (line_record* l = f->lines->next; l != f->lines; l = l->next) {
        if (l->chars == nullptr) continue;
        for (recg* c = l->chars->next; c != l->chars; c = c->next)
          distances.emplace(std::make_tuple(c->left, c->top, c->right, c->bottom), c->distance);
      }
    }
  }
  confidences_.clear();
  for (int i = 0; i < resultCount_; ++i) {
    const std::uint8_t* e = codes_.data() + static_cast<std::size_t>(i) * kEntryBytes;
    if (isMarker(e) || isTabOrLineEnd(e)) continue;
    int distance = kUnknownDistance;
    const int index = std::abs(rectIndexOf(e));
    if (index > 0 && index < kResultCapacity) {
      const std::int32_t* r = rects_.data() + static_cast<std::size_t>(index) * 4;
      auto it = distances.find(std::make_tuple(r[0], r[1], r[2], r[3]));
      if (it != distances.end()) {
        distance = it->second;
        distances.erase(it);
      }
    }
    confidences_.push_back(static_cast<std::int16_t>(distance));
  }
  confidenceCount_ = static_cast<short>(confidences_.size());
}

void OcrControl::adoptResult(std::vector<std::uint8_t> codes, std::vector<std::int32_t> rects, int count) {
  codes.resize(static_cast<std::size_t>(kResultCapacity) * kEntryBytes, 0);
  rects.resize(static_cast<std::size_t>(kResultCapacity) * 4, 0);
  codes_ = std::move(codes);
  rects_ = std::move(rects);
  haveResultBlocks_ = true;
  resultCount_ = static_cast<short>(std::clamp(count, 0, kResultCapacity));
  collectConfidences();
}

std::string OcrControl::GetOcrResult() const {
  if (resultCount_ == 0) return {};
  std::string sjis;
  for (int i = 0; i < resultCount_; ++i) {
    const std::uint8_t* e = codes_.data() + static_cast<std::size_t>(i) * kEntryBytes;
    if (e[0] != 0) {
      sjis.push_back(static_cast<char>(e[0]));
      sjis.push_back(static_cast<char>(e[1]));
    } else if (e[1] == 1 || e[1] == 2) {
      continue;
    } else if (e[1] == 10) {
      sjis += "\r\n";
    } else {
      sjis.push_back(static_cast<char>(e[1]));
    }
  }
  return platform::fromCp932(sjis);
}

int OcrControl::entryAtPosition(int position) const {
  int count = 0;
  for (int i = 0; i < resultCount_; ++i) {
    const std::uint8_t* e = codes_.data() + static_cast<std::size_t>(i) * kEntryBytes;
    if (isMarker(e)) continue;
    count += e[0] == 0 && e[1] == 10 ? 2 : 1;
    if (count == position) return i;
    if (count > position) return -1;
  }
  return -1;
}

short OcrControl::GetResultRect(short position, short* left, short* top, short* right, short* bottom) const {
  if (!haveResultBlocks_) return code::kNoResult;
  const int entry = entryAtPosition(position);
  if (entry < 0) return code::kNothing;
  const int index = std::abs(rectIndexOf(codes_.data() + static_cast<std::size_t>(entry) * kEntryBytes));
  if (index == 0 || index >= kResultCapacity) return code::kNothing;
  const std::int32_t* r = rects_.data() + static_cast<std::size_t>(index) * 4;
  if (left != nullptr) *left = static_cast<short>(r[0]);
  if (top != nullptr) *top = static_cast<short>(r[1]);
  if (right != nullptr) *right = static_cast<short>(r[2]);
  if (bottom != nullptr) *bottom = static_cast<short>(r[3]);
  return code::kOk;
}

platform::GlobalHandle OcrControl::GetResultRectHandle(short* count) const {
  if (!haveResultBlocks_) return 0;
  std::vector<std::uint8_t> out;
  out.reserve(static_cast<std::size_t>(resultCount_) * 16);
  short copies = 0;
  for (int i = 0; i < resultCount_; ++i) {
    const std::uint8_t* e = codes_.data() + static_cast<std::size_t>(i) * kEntryBytes;
    if (isMarker(e) || isTabOrLineEnd(e)) continue;
    const std::int16_t stored = rectIndexOf(e);
    const int index = std::abs(stored);
    std::int32_t r[4] = {0, 0, 0, 0};
    if (index < kResultCapacity) std::memcpy(r, rects_.data() + static_cast<std::size_t>(index) * 4, sizeof r);
    if (stored <= 0) {
      r[0] = -r[0];
      r[2] = -r[2];
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(r);
    out.insert(out.end(), bytes, bytes + sizeof r);
    ++copies;
  }
  const platform::GlobalHandle handle =
      out.empty() ? platform::globalAlloc(16) : platform::globalAllocCopy(out);
  if (handle != 0 && count != nullptr) *count = copies;
  return handle;
}

std::string OcrControl::GetRcgCandidate(short position) {
  if (!haveResultBlocks_ || image_.empty()) return {};
  const int entry = entryAtPosition(position);
  if (entry < 0) return {};
  const int index = std::abs(rectIndexOf(codes_.data() + static_cast<std::size_t>(entry) * kEntryBytes));
  if (index == 0 || index >= kResultCapacity) return {};
  const std::int32_t* r = rects_.data() + static_cast<std::size_t>(index) * 4;
  std::uint16_t out[8] = {};
  const short n = VuCandidates(image_.bits.data(), static_cast<std::uint16_t>(image_.width),
                               static_cast<std::uint16_t>(image_.height), r, out, 8);
  std::memcpy(highlight_, r, sizeof highlight_);
  if (highlightShown_) highlightShown_();
  repaint();
  std::string sjis;
  for (int i = 0; i < n; ++i) {
    sjis.push_back(static_cast<char>(out[i] >> 8));
    sjis.push_back(static_cast<char>(out[i] & 0xFF));
  }
  return platform::fromCp932(sjis);
}

short OcrControl::SetSyncPos(short position) {
  if (!haveResultBlocks_) return code::kNothing;
  short l = 0, t = 0, r = 0, b = 0;
  if (GetResultRect(position, &l, &t, &r, &b) != code::kOk) return code::kNothing;
  highlight_[0] = l;
  highlight_[1] = t;
  highlight_[2] = r;
  highlight_[3] = b;
  if (highlightShown_) highlightShown_();
  repaint();
  return code::kOk;
}

platform::GlobalHandle OcrControl::GetConfLevelHandle(short* count) const {
  if (count != nullptr) *count = confidenceCount_;
  std::vector<std::uint8_t> out;
  for (std::int16_t d : confidences_) {
    const short level = confidenceLevel(d);
    out.push_back(static_cast<std::uint8_t>(level));
    out.push_back(0);
  }
  return out.empty() ? platform::globalAlloc(2) : platform::globalAllocCopy(out);
}

short OcrControl::GetConfLevel(short position, short mode) const {
  int index = position;
  if (mode == 0) {
    index = -1;
    int number = 0;
    int before = 0;
    for (int i = 0; i < resultCount_; ++i) {
      const std::uint8_t* e = codes_.data() + static_cast<std::size_t>(i) * kEntryBytes;
      if (isMarker(e)) continue;
      if (number == position) {
        index = before;
        break;
      }
      if (!isTabOrLineEnd(e)) ++before;
      ++number;
    }
    if (index < 0) return code::kNothing;
  }
  if (index < 0 || index >= confidenceCount_) return code::kNothing;
  return confidenceLevel(confidences_[static_cast<std::size_t>(index)]);
}

platform::GlobalHandle OcrControl::GetImageHandle() const {
  if (image_.empty()) return 0;
  const std::vector<std::uint8_t> dib = packDib(image_, dpi_);
  return platform::globalAllocCopy(dib);
}

// User patterns ---------------------------------------------------------------

short OcrControl::RegistPat(short character, short left, short top, short right, short bottom) {
  const auto raw = static_cast<std::uint16_t>(character);
  const unsigned low = raw & 0xFF;
  std::uint16_t leadFirst = 0;  // lead byte in the low half, as stored
  if (isLeadByte(low)) {
    leadFirst = raw;
  } else if ((low >= 0x20 && low <= 0x7E) || (low >= 0xA1 && low <= 0xDF)) {
    leadFirst = fullWidthOf(low);
    if (leadFirst == 0) return code::kNotWhole;
  } else {
    return code::kNotWhole;
  }
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (left == right || top == bottom) return code::kEmptyRect;
  if (image_.empty()) return code::kNoMemory;
  const PatternImage pattern = cutPattern(image_, left, top, right, bottom);
  const std::int32_t rect[4] = {left, top, right, bottom};
  const int number = store_.registerPattern(leadFirst, image_, rect, pattern);
  if (number < 0) return code::kEngineRefused;
  if (!store_.savePatternFile(nullptr)) return code::kPatternWrite;
  patternsChanged_ = false;
  return static_cast<short>(number);
}

bool OcrControl::sectionRecord(int index, const std::uint8_t** record) const {
  if (!sectionLoaded_ || index < 0 || index >= patNum_) return false;
  const std::size_t at = 2 + static_cast<std::size_t>(kPatternRecordBytes) * index;
  if (at + kPatternRecordBytes > section_.size()) return false;
  *record = section_.data() + at;
  return true;
}

int OcrControl::findPattern(short number) const {
  for (int i = 0; i < patNum_; ++i) {
    const std::uint8_t* r = nullptr;
    if (!sectionRecord(i, &r)) return -1;
    if (static_cast<std::int16_t>(r[0] | (r[1] << 8)) == number) return i;
  }
  return -1;
}

short OcrControl::LoadPatImageSection() {
  if (sectionLoaded_) UnloadPatImageSection();
  patternsChanged_ = false;
  std::vector<std::uint8_t> section;
  if (!store_.loadPatternFile(&section, false)) return code::kPatternLoad;
  if (section.size() < 2) section.assign(2, 0);
  section_ = std::move(section);
  sectionLoaded_ = true;
  const int stated = static_cast<std::int16_t>(section_[0] | (section_[1] << 8));
  // A count beyond the records really present is not believed.
  const int present = static_cast<int>((section_.size() - 2) / kPatternRecordBytes);
  patNum_ = static_cast<short>(std::clamp(stated, 0, present));
  return patNum_;
}

short OcrControl::UnloadPatImageSection() {
  if (patternsChanged_) SavePatFile();
  if (!sectionLoaded_) return code::kNoPatterns;
  section_.clear();
  sectionLoaded_ = false;
  patNum_ = 0;
  return code::kOk;
}

short OcrControl::SavePatFile() {
  if (!sectionLoaded_) return store_.savePatternFile(nullptr) ? code::kOk : code::kPatternWrite;
  section_[0] = static_cast<std::uint8_t>(patNum_);
  section_[1] = static_cast<std::uint8_t>(patNum_ >> 8);
  std::vector<std::uint8_t> section(section_.begin(),
                                    section_.begin() + 2 + static_cast<std::ptrdiff_t>(kPatternRecordBytes) * patNum_);
  if (!store_.savePatternFile(&section)) return code::kPatternWrite;
  patternsChanged_ = false;
  return code::kOk;
}

short OcrControl::GetPatInfo(short index, short* character, short* flag, short* number) const {
  const std::uint8_t* r = nullptr;
  if (index < 1 || !sectionRecord(index - 1, &r)) return code::kNoSuchPattern;
  if (character != nullptr) *character = static_cast<short>(r[2] | (r[3] << 8));
  if (flag != nullptr) *flag = static_cast<short>(r[4] | (r[5] << 8));
  if (number != nullptr) *number = static_cast<short>(r[0] | (r[1] << 8));
  return code::kOk;
}

platform::GlobalHandle OcrControl::GetPatImage(short index) const {
  const std::uint8_t* r = nullptr;
  if (index < 1 || !sectionRecord(index - 1, &r)) return 0;
  return platform::globalAllocCopy({r + 6, static_cast<std::size_t>(kPatternImageBytes)});
}

short OcrControl::UpdatePat(short number, short flag) {
  const int i = findPattern(number);
  if (i < 0) return code::kNoSuchPattern;
  std::uint8_t* r = section_.data() + 2 + static_cast<std::size_t>(kPatternRecordBytes) * i;
  const std::uint8_t old[2] = {r[4], r[5]};
  // The record keeps the flag the engine was given; a refusal leaves it as it was.
  r[4] = static_cast<std::uint8_t>(flag);
  r[5] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(flag) >> 8);
  if (VuSetPatternValid(number, static_cast<std::uint16_t>(flag)) == 0) {
    r[4] = old[0];
    r[5] = old[1];
    return code::kEngineChange;
  }
  patternsChanged_ = true;
  return code::kOk;
}

short OcrControl::DeletePat(short number) {
  const int i = findPattern(number);
  if (i < 0) return code::kNoSuchPattern;
  if (VuDeletePattern(number) == 0) return code::kEngineDelete;
  const auto at = section_.begin() + 2 + static_cast<std::ptrdiff_t>(kPatternRecordBytes) * i;
  section_.erase(at, at + kPatternRecordBytes);
  --patNum_;
  patternsChanged_ = true;
  return code::kOk;
}

}  // namespace ocrctl
