#pragma once
// The sibling OCR application Lumora, driven by automation as a component
// of the registry ("Lumora.Application"). Where it is not registered (as on
// every Linux system so far) the start says so and the run ends with
// nothing recognised.
//
//   StartLumora             the application object, or the message why not
//   LumoraPageRecogniser    the batch road, page by page
//   LumoraRecognizeList     the list road: every image at once

#include "platform/component_registry.h"
#include "shell/ocr_batch.h"
#include "shell/ocr_control_host.h"

#include <functional>
#include <string>
#include <vector>

inline constexpr const char* kLumoraProgId = "Lumora.Application";

// How the application object is made; tests put their own in.
using LumoraFactory = std::function<int(platform::ComponentPtr*)>;
void SetLumoraFactory(LumoraFactory factory);

// Null after "Lumoraが登録されていません" (not registered) or, when it
// cannot be made, "Lumoraが作成できません" (batch road) / "Lumoraが起動でき
// ませんでした" (list road).
platform::ComponentPtr StartLumora(bool batchRoad);

class LumoraPageRecogniser final : public PageRecogniser {
 public:
  explicit LumoraPageRecogniser(OcrParams params) : params_(params) {}
  bool Start() override;
  bool Load(const std::string& path) override;
  bool Recognise(int resolution, std::string* text) override;
  void Finish() override;

 private:
  platform::ComponentPtr app_;
  OcrParams params_;
};

// Hands all images to the application, has it read them, and writes each
// page's text beside its image as <image path>.TXT. False when the
// application could not be started.
bool LumoraRecognizeList(const std::vector<std::string>& images, const OcrParams& params);
