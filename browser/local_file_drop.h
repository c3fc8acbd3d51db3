#pragma once
// LocalFileDrop: the part that the board's and the folder tree's drop
// handlers share. It watches a widget's viewport as an event filter, accepts
// drags that carry local files (as a copy) and hands the dropped names, with
// the drop point in viewport coordinates, to OnDropFiles.
//
// The viewport is kept from the start: the filter also sees the viewport's
// events while its widget is being destroyed, when the widget can no longer
// be asked for it.

#include <QObject>
#include <QPoint>

#include <string>
#include <vector>

class QAbstractScrollArea;

class LocalFileDrop : public QObject {
  Q_OBJECT
 public:
  // Installs itself on area's viewport; area owns it.
  explicit LocalFileDrop(QAbstractScrollArea* area);
  virtual void OnDropFiles(QPoint clientPoint, const std::vector<std::string>& names) = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QObject* viewport_;
};
