#pragma once
// Thumbnails as the document stores them (8-bit GIF bytes), made from a
// drawn page through the imaging control, for tests and benchmarks that
// fill a catalogue.

#include "catalogue/sqlite_database.h"
#include "platform/global_memory.h"
#include "platform/paths.h"
#include "shell/image_ctrl.h"

#include <QImage>

#include <string>

namespace thumbnailtest {

// Empty bytes when the imaging control cannot make the GIF.
inline DbBytes gifThumbnail(const QImage& page, const std::string& workFolder) {
  const std::string file = platform::joinPath(workFolder, "thumbnail-source.png");
  if (!page.save(QString::fromStdString(file))) return {};
  CImageCtrl ctrl;
  std::int32_t handle = 0, size = 0;
  if (ctrl.LoadFile(file, 0, 1, 1) != 0 || ctrl.SaveToMemory(&handle, 2, 8, 0, &size) != 0) return {};
  const auto h = static_cast<platform::GlobalHandle>(handle);
  const std::uint8_t* bytes = platform::globalLock(h);
  DbBytes gif(bytes, bytes + platform::globalSize(h));
  platform::globalUnlock(h);
  platform::globalFree(h);
  return gif;
}

}  // namespace thumbnailtest
