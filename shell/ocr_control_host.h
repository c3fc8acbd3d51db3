#pragma once
// The OCR control as the program hosts it: created at run time through the
// component registry (never linked), driven only by dispatch ids; the
// recognition parameters that every OCR dialog pushes to it; and the
// recogniser of one page that the OCR batch runs page by page.
//
//   CZeqOcr3                  one control instance, typed calls by dispatch id
//   CreateOcrControl          the control, or the message that it is not there
//   OcrParams, ReadOcrParams, SaveOcrParams, PushOcrParams
//   ControlRecogniser         the batch's recogniser of one page on the control

#include "ocrctl/ocr_dispatch_ids.h"
#include "platform/component_registry.h"
#include "shell/ocr_batch.h"

#include <cstdint>
#include <memory>
#include <string>

class QWidget;

class CZeqOcr3 {
 public:
  explicit CZeqOcr3(platform::ComponentPtr control) : control_(std::move(control)) {}
  // 0 and the control; otherwise the registry's code (not registered, or
  // its library cannot be loaded).
  static int Create(std::unique_ptr<CZeqOcr3>* out);

  short DrawWidth() { return get(ocrctl::dispid::kDrawWidth); }
  short DrawHeight() { return get(ocrctl::dispid::kDrawHeight); }
  void SetDrawDpi(short dpi) { put(ocrctl::dispid::kDrawDpi, dpi); }
  void SetDispScale(short divisor) { put(ocrctl::dispid::kDispScale, divisor); }
  void SetForm(short v) { put(ocrctl::dispid::kForm, v); }
  void SetLanguage(short v) { put(ocrctl::dispid::kLanguage, v); }
  void SetLetterDirection(short v) { put(ocrctl::dispid::kLetterDirection, v); }
  void SetInsertCRMode(short v) { put(ocrctl::dispid::kInsertCRMode, v); }
  void SetBlancOutMode(short v) { put(ocrctl::dispid::kBlancOutMode, v); }
  void SetCharAttr(short v) { put(ocrctl::dispid::kCharAttr, v); }
  short RcgNum() { return get(ocrctl::dispid::kRcgNum); }
  void SetShowCancel(short v) { put(ocrctl::dispid::kShowCancel, v); }
  short InitOcr(const std::string& folder);
  short LoadImageFile(const std::string& path);
  short DoLayout() { return method(ocrctl::dispid::kDoLayout); }
  short DoRecognize() { return method(ocrctl::dispid::kDoRecognize); }
  std::string GetOcrResult();
  short SetRcgRect(short left, short top, short right, short bottom);

  // The control's window; the host parents it.
  QWidget* window() { return control_->window(); }

 private:
  short get(int dispid);
  void put(int dispid, short value);
  short method(int dispid, std::initializer_list<platform::Variant> args = {});

  platform::ComponentPtr control_;
};

// The control; when it cannot be created "OCRコントロールを作成できません。"
// is shown (caption "OCR") and null returned.
std::unique_ptr<CZeqOcr3> CreateOcrControl();

// The recognition parameters of the OCR dialogs (the settings keys
// OcrParam* of section "Browser").
struct OcrParams {
  short language = 0;         // 0 Japanese, 1 English
  short form = 0;             // 0 automatic, 1 table, 2 text
  short letterDirection = 0;  // 0 automatic .. 4 vertical, columns
  short charAttr = 63;        // bit mask of character kinds
  short insertCRMode = 0;     // 0 every line, 1 every block
  short blancOutMode = 0;     // 0 no blanks, 1 blanks
  short halfWidth = 0;        // 0 full width, 1 half width (applied by the program)
  friend bool operator==(const OcrParams&, const OcrParams&) = default;
};
OcrParams ReadOcrParams();
void SaveOcrParams(const OcrParams& params);
// Language, form, letter direction, character kinds, line ends, blanks, in
// that order.
void PushOcrParams(CZeqOcr3& control, const OcrParams& params);

// The OCR control's road: InitOcr with the dictionary folder once, then per
// page the parameters, DrawDpi, ShowCancel 0, DoLayout and DoRecognize.
class ControlRecogniser final : public PageRecogniser {
 public:
  ControlRecogniser(CZeqOcr3& control, std::string dictionaryFolder, OcrParams params)
      : control_(control), folder_(std::move(dictionaryFolder)), params_(params) {}
  bool Start() override;
  bool Load(const std::string& path) override;
  bool Recognise(int resolution, std::string* text) override;

 private:
  CZeqOcr3& control_;
  std::string folder_;
  OcrParams params_;
};
