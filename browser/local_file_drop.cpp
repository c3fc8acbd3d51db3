#include "browser/local_file_drop.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace {

bool hasLocalFiles(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  const QList<QUrl> urls = data->urls();
  return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

}  // namespace

LocalFileDrop::LocalFileDrop(QAbstractScrollArea* area) : QObject(area), viewport_(area->viewport()) {
  area->setAcceptDrops(true);
  area->viewport()->setAcceptDrops(true);
  area->viewport()->installEventFilter(this);
}

bool LocalFileDrop::eventFilter(QObject* watched, QEvent* event) {
  if (watched != viewport_) return false;
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (!hasLocalFiles(drag->mimeData())) return false;
      drag->setDropAction(Qt::CopyAction);
      drag->accept();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!hasLocalFiles(drop->mimeData())) return false;
      std::vector<std::string> names;
      for (const QUrl& url : drop->mimeData()->urls())
        if (url.isLocalFile()) names.push_back(url.toLocalFile().toStdString());
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      OnDropFiles(drop->position().toPoint(), names);
      return true;
    }
    default:
      return false;
  }
}
