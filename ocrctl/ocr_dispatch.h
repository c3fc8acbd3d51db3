#pragma once
// The OCR control as a component: Invoke by dispatch id (ocr_dispatch_ids.h)
// onto OcrControl's typed methods, the event sink, and the control's window.
#include "ocrctl/area_view.h"
#include "ocrctl/control_dialogs.h"
#include "ocrctl/ocr_dispatch_ids.h"
#include "ocrctl/ocr_control.h"
#include "platform/component_registry.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace ocrctl {

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
