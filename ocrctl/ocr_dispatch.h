#pragma once
// The OCR control as a component: Invoke by dispatch id onto OcrControl's
// typed methods, the event sink, and the control's window.
#include "ocrctl/area_view.h"
#include "ocrctl/control_dialogs.h"
#include "ocrctl/ocr_control.h"
#include "platform/component_registry.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace ocrctl {

// Dispatch ids of the events.
namespace event {
inline constexpr int kAreaCreated = 1;
inline constexpr int kAreaDeleted = 2;
inline constexpr int kAreaModified = 3;
inline constexpr int kActiveAreaChanged = 4;
inline constexpr int kAreaNoChanged = 5;
inline constexpr int kViewScrolled = 6;
}  // namespace event

// The control's window: the page and its recognition areas.
using OcrControlWindow = AreaView;

// The small window "日本語認識中..." with its "中止" button while Japanese
// fields are read: 中止 (or Escape) asks the control to stop after the line
// in hand. Modeless, centred on the control's window.
class RecognitionStopDlg : public QDialog {
 public:
  RecognitionStopDlg(OcrControl& control, QWidget* parent);

 protected:
  void reject() override;

 private:
  OcrControl& control_;
};

class OcrDispatch : public platform::DispatchObject {
 public:
  // The stock members of a control.
  static constexpr int kDispidBorderStyle = -504;
  static constexpr int kDispidRefresh = -550;
  static constexpr int kDispidAboutBox = -552;
  OcrDispatch();
  ~OcrDispatch() override;
  std::int32_t invoke(int dispid, platform::DispatchKind kind, std::span<const platform::Variant> args,
                      platform::Variant* result) noexcept override;
  void setEventSink(platform::EventSink* sink) override { sink_ = sink; }
  QWidget* window() override;
  OcrControl& control() { return control_; }
  void fire(int dispid, std::span<const platform::Variant> args);
  // Runs the control's modal dialogs (UserPatMant, ShowParamSet) in place
  // of exec(): tests answer them.
  void setDialogRunner(DialogRunner runner) { dialogRunner_ = std::move(runner); }

 private:
  std::int32_t invokeChecked(int dispid, platform::DispatchKind kind, std::span<const platform::Variant> args,
                             platform::Variant* result);
  OcrControl control_;
  // Shows (1), makes hidden (0) or closes (-1) the stop window.
  void stopDialog(int visible);
  QPointer<OcrControlWindow> window_;
  QPointer<RecognitionStopDlg> stopDialog_;
  platform::EventSink* sink_ = nullptr;
  DialogRunner dialogRunner_;
};

}  // namespace ocrctl
