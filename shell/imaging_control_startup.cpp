#include "shell/imaging_control_startup.h"

#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "shell/lead.h"

namespace {
constexpr const char* kLoadFilters = "BMP,GIF,TIF,CMP,CUT,XBM,CAL,MPG,MAC,XPM,WMF,DIC,PNM,IMG,PCT,ICA";
constexpr const char* kExtraFilters = "PLT";
constexpr int kControlSide = 32;

std::function<std::unique_ptr<CImageCtrl>()>& imageCtrlMaker() {
  static std::function<std::unique_ptr<CImageCtrl>()> maker;
  return maker;
}
}  // namespace

std::unique_ptr<CImageCtrl> MakeImageCtrl() {
  return imageCtrlMaker() ? imageCtrlMaker()() : std::make_unique<CImageCtrl>();
}

void SetImageCtrlMaker(std::function<std::unique_ptr<CImageCtrl>()> maker) { imageCtrlMaker() = std::move(maker); }

int ApplyImagingControlSettings(CLead* control) {
  if (control == nullptr) return 1;
  control->SetDispid20(false);
  control->SetLoadFilters(16, 24, kLoadFilters);
  control->SetExtraFilters(kExtraFilters);
  return 0;
}

int CreateImagingControl(QWidget* parent, CLead* control, int childId) {
  const bool created = control != nullptr &&
                       control->Create("", 0, QRect(0, 0, kControlSide, kControlSide), parent, childId);
  if (!created) {
    platform::messageBox(kImagingInitFailedMessage, platform::Buttons::Ok, platform::Icon::Error);
    return 1;
  }
  return ApplyImagingControlSettings(control);
}
