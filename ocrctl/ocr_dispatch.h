#pragma once
// The OCR control as a component: Invoke by dispatch id onto OcrControl's
// typed methods, the event sink, and the control's window.
#include "ocrctl/ocr_control.h"
#include "platform/component_registry.h"

#include <QPointer>
#include <QWidget>

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

// The view of the page: the display image, ink black, on the button face.
class OcrControlWindow : public QWidget {
 public:
  explicit OcrControlWindow(const OcrControl& control);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const OcrControl& control_;
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

 private:
  std::int32_t invokeChecked(int dispid, platform::DispatchKind kind, std::span<const platform::Variant> args,
                             platform::Variant* result);
  OcrControl control_;
  QPointer<OcrControlWindow> window_;
  platform::EventSink* sink_ = nullptr;
};

}  // namespace ocrctl
