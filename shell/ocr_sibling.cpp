#include "shell/ocr_sibling.h"

#include "platform/user_interaction.h"

#include <QCoreApplication>

namespace {

LumoraFactory& factory() {
  static LumoraFactory f;
  return f;
}

enum Id : int {
  kCurrentPage = 7, kPageCount = 8, kLanguage = 9, kDirection = 10, kForm = 11, kInsertCR = 12, kBlancOut = 13,
  kResolution = 14, kCharAttr = 16, kVisible = 24, kReset = 27, kAddImage = 32, kRecognisePage = 33,
  kPageText = 34, kPreparePage = 35, kQuit = 40, kRecogniseAll = 44, kClearPages = 52,
};

void put(platform::DispatchObject& app, int id, int value) {
  const platform::Variant arg(static_cast<std::int16_t>(value));
  app.invoke(id, platform::DispatchKind::PropertyPut, {&arg, 1}, nullptr);
}

short getShort(platform::DispatchObject& app, int id) {
  platform::Variant result;
  std::int16_t value = 0;
  if (app.invoke(id, platform::DispatchKind::PropertyGet, {}, &result) != platform::kDispOk || !result.toShort(&value))
    return 0;
  return value;
}

platform::Variant call(platform::DispatchObject& app, int id, std::vector<platform::Variant> args = {}) {
  platform::Variant result;
  if (app.invoke(id, platform::DispatchKind::Method, args, &result) != platform::kDispOk) return platform::Variant(
      static_cast<std::int16_t>(-1));
  return result;
}

bool succeeded(const platform::Variant& v) {
  std::int16_t value = -1;
  return v.toShort(&value) && value == 0;
}

std::string textOf(const platform::Variant& v) { return v.text() ? *v.text() : std::string(); }

void addImage(platform::DispatchObject& app, const std::string& path) {
  call(app, kAddImage, {platform::Variant(path), platform::Variant(static_cast<std::int16_t>(0)),
                        platform::Variant(static_cast<std::int16_t>(1))});
}

}  // namespace

void SetLumoraFactory(LumoraFactory f) { factory() = std::move(f); }

platform::ComponentPtr StartLumora(bool batchRoad) {
  platform::ComponentPtr app;
  if (!factory()) {
    platform::ComponentEntry entry;
    if (!platform::findComponent(kLumoraProgId, &entry)) {
      platform::messageBox("Lumoraが登録されていません", platform::Buttons::Ok, platform::Icon::Warning);
      return nullptr;
    }
  }
  const int code = factory() ? factory()(&app) : platform::createComponent(kLumoraProgId, &app);
  if (code == platform::kComponentNotRegistered) {
    platform::messageBox("Lumoraが登録されていません", platform::Buttons::Ok, platform::Icon::Warning);
    return nullptr;
  }
  if (code != 0 || !app) {
    platform::messageBox(batchRoad ? "Lumoraが作成できません" : "Lumoraが起動できませんでした", platform::Buttons::Ok,
                         platform::Icon::Warning);
    return nullptr;
  }
  return app;
}

bool LumoraPageRecogniser::Start() {
  app_ = StartLumora(true);
  return app_ != nullptr;
}

bool LumoraPageRecogniser::Load(const std::string& path) {
  put(*app_, kVisible, 0);
  put(*app_, kReset, 0);
  addImage(*app_, path);
  return true;
}

bool LumoraPageRecogniser::Recognise(int resolution, std::string* text) {
  put(*app_, kVisible, 0);
  put(*app_, kLanguage, params_.language);
  put(*app_, kForm, params_.form);
  put(*app_, kDirection, params_.letterDirection);
  put(*app_, kCharAttr, params_.charAttr);
  put(*app_, kInsertCR, params_.insertCRMode);
  put(*app_, kBlancOut, params_.blancOutMode);
  put(*app_, kResolution, resolution);
  put(*app_, kReset, 0);
  if (!succeeded(call(*app_, kPreparePage)) || !succeeded(call(*app_, kRecognisePage))) return false;
  *text = textOf(call(*app_, kPageText));
  if (params_.halfWidth == 1) *text = ToHalfWidth(*text);
  call(*app_, kClearPages);
  return true;
}

void LumoraPageRecogniser::Finish() {
  if (!app_) return;
  call(*app_, kQuit);
  app_.reset();
}

bool LumoraRecognizeList(const std::vector<std::string>& images, const OcrParams& params) {
  platform::ComponentPtr app = StartLumora(false);
  if (!app) return false;
  QCoreApplication::processEvents();
  put(*app, kVisible, 1);
  for (const std::string& path : images) addImage(*app, path);
  put(*app, kCurrentPage, 1);
  put(*app, kLanguage, params.language);
  call(*app, kRecogniseAll);
  put(*app, kVisible, 0);
  const int count = getShort(*app, kPageCount);
  for (int i = 1; i <= count && static_cast<std::size_t>(i) <= images.size(); ++i) {
    put(*app, kCurrentPage, i);
    std::string text = TrimSiblingText(textOf(call(*app, kPageText)));
    if (params.halfWidth == 1) text = ToHalfWidth(text);
    if (!text.empty()) WriteOcrText(OcrTextPathOf(images[static_cast<std::size_t>(i) - 1]), text);
  }
  call(*app, kQuit);
  return true;
}
