#include "shell/ocr_control_host.h"

#include "ocrctl/control_identity.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/ocr_batch.h"

#include <vector>

int CZeqOcr3::Create(std::unique_ptr<CZeqOcr3>* out) {
  platform::ComponentPtr control;
  const int code = platform::createComponent(ocrctl::kControlProgId, &control);
  if (code != 0 || !control) return code != 0 ? code : platform::kComponentLoadFailed;
  *out = std::make_unique<CZeqOcr3>(std::move(control));
  return 0;
}

short CZeqOcr3::get(int dispid) {
  platform::Variant result;
  std::int16_t value = 0;
  if (control_->invoke(dispid, platform::DispatchKind::PropertyGet, {}, &result) != platform::kDispOk ||
      !result.toShort(&value))
    return 0;
  return value;
}

void CZeqOcr3::put(int dispid, short value) {
  const platform::Variant arg(static_cast<std::int16_t>(value));
  control_->invoke(dispid, platform::DispatchKind::PropertyPut, {&arg, 1}, nullptr);
}

// A call that does not reach the control counts as a failure (-1).
short CZeqOcr3::method(int dispid, std::initializer_list<platform::Variant> args) {
  const std::vector<platform::Variant> list(args);
  platform::Variant result;
  std::int16_t value = -1;
  if (control_->invoke(dispid, platform::DispatchKind::Method, list, &result) != platform::kDispOk ||
      !result.toShort(&value))
    return -1;
  return value;
}

short CZeqOcr3::InitOcr(const std::string& folder) {
  return method(ocrctl::dispid::kInitOcr, {platform::Variant(folder)});
}
short CZeqOcr3::LoadImageFile(const std::string& path) {
  return method(ocrctl::dispid::kLoadImageFile, {platform::Variant(path)});
}

std::string CZeqOcr3::GetOcrResult() {
  platform::Variant result;
  if (control_->invoke(ocrctl::dispid::kGetOcrResult, platform::DispatchKind::Method, {}, &result) !=
          platform::kDispOk ||
      !result.text())
    return {};
  return *result.text();
}

short CZeqOcr3::SetRcgRect(short left, short top, short right, short bottom) {
  return method(ocrctl::dispid::kSetRcgRect,
                {platform::Variant(static_cast<std::int16_t>(left)), platform::Variant(static_cast<std::int16_t>(top)),
                 platform::Variant(static_cast<std::int16_t>(right)), platform::Variant(static_cast<std::int16_t>(bottom))});
}

std::unique_ptr<CZeqOcr3> CreateOcrControl() {
  std::unique_ptr<CZeqOcr3> control;
  if (CZeqOcr3::Create(&control) != 0) {
    platform::messageBox("OCRコントロールを作成できません。", platform::Buttons::Ok, platform::Icon::Warning, "OCR");
    return nullptr;
  }
  return control;
}

namespace {

struct ParamKey {
  const char* key;
  short OcrParams::*field;
  short fallback;
};
constexpr ParamKey kParamKeys[] = {
    {"OcrParamLanguage", &OcrParams::language, 0},
    {"OcrParamForm", &OcrParams::form, 0},
    {"OcrParamLetterDirection", &OcrParams::letterDirection, 0},
    {"OcrParamCharAttr", &OcrParams::charAttr, 63},
    {"OcrParamInsertCRMode", &OcrParams::insertCRMode, 0},
    {"OcrParamBlancOutMode", &OcrParams::blancOutMode, 0},
    {"OcrParamHankakuOutMode", &OcrParams::halfWidth, 0},
};

}  // namespace

OcrParams ReadOcrParams() {
  OcrParams params;
  const auto profile = OpenAppProfile();
  for (const ParamKey& k : kParamKeys)
    params.*k.field = static_cast<short>(profile->value(BrowserKey(QString::fromLatin1(k.key)), k.fallback).toInt());
  params.charAttr = static_cast<short>(params.charAttr & 63);
  return params;
}

void SaveOcrParams(const OcrParams& params) {
  const auto profile = OpenAppProfile();
  for (const ParamKey& k : kParamKeys) profile->setValue(BrowserKey(QString::fromLatin1(k.key)), params.*k.field);
}

void PushOcrParams(CZeqOcr3& control, const OcrParams& params) {
  control.SetLanguage(params.language);
  control.SetForm(params.form);
  control.SetLetterDirection(params.letterDirection);
  control.SetCharAttr(params.charAttr);
  control.SetInsertCRMode(params.insertCRMode);
  control.SetBlancOutMode(params.blancOutMode);
}

bool ControlRecogniser::Start() {
  control_.InitOcr(folder_);  // a missing dictionary shows at the first page
  return true;
}

bool ControlRecogniser::Load(const std::string& path) { return control_.LoadImageFile(path) == 0; }

bool ControlRecogniser::Recognise(int resolution, std::string* text) {
  PushOcrParams(control_, params_);
  control_.SetDrawDpi(static_cast<short>(resolution));
  control_.SetShowCancel(0);
  if (control_.DoLayout() != 0 || control_.DoRecognize() != 0) return false;
  *text = control_.GetOcrResult();
  if (params_.halfWidth == 1) *text = ToHalfWidth(*text);
  return true;
}
