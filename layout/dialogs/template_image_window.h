// The template image window: the working template as a scaled, scrollable
// picture (coloured field boxes with their numbers, the selected field
// outlined, the ruled lines, the outline of an A4 page at 400 dpi).  A click
// selects the field under the mouse.  It sits in the template dialogs as
// control 1030.
#pragma once

#include "layout/layout_overlay.h"
#include "layout/records.h"

#include <QAbstractScrollArea>

namespace layout::dialogs {

class TemplateImageWindow : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // The picture spans this many page pixels each way.
  static constexpr int kExtent = 11000;
  static constexpr int kLineStep = 20;
  static constexpr int kPageStep = 200;

  explicit TemplateImageWindow(QWidget* parent = nullptr);

  // The working template (not owned; null for none) and its ruled lines.
  void setTemplate(const userfld* fields, const KeisenPair& lines);
  void setSelected(const userfld* field);
  const userfld* selected() const { return selected_; }
  // 4, 8, 16 or 32 page pixels to a window pixel; the scroll bars are refitted.
  void setScale(int scale);
  int scale() const { return scale_; }

  // Fits the scroll ranges to the client area and the scale and brings the
  // positions into them.
  void setImageScrollBars();
  // What the window shows now.
  Overlay picture() const;
  // Selects the field at a client point, as a click does; false when no
  // field is there (the selection then stays).
  bool selectAt(QPoint clientPoint);

 signals:
  void fieldSelected(const userfld* field);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  const userfld* fields_ = nullptr;
  KeisenPair lines_;
  const userfld* selected_ = nullptr;
  int scale_ = 8;
};

}  // namespace layout::dialogs
