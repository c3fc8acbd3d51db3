#include "browser/thumbnail_picture.h"

#include "browser/file_icon.h"
#include "catalogue/catalogue_records.h"
#include "platform/imaging/image.h"
#include "platform/imaging/image_codec.h"
#include "platform/imaging/image_ops.h"
#include "shell/image_utilities.h"
#include "shell/lead.h"

#include <QFileInfo>

#include <cstring>

namespace {

constexpr short kFormatBmp = 6;
constexpr int kBmpDefaultDpi = 150;

QImage decodeThumbnail(const ThumbInfo& thumbnail) {
  if (thumbnail.ThumbData.empty()) return {};
  namespace img = platform::imaging;
  const DbBytes& bytes = thumbnail.ThumbData;
  // The document stores its thumbnails as GIF: those are decoded at once,
  // anything else is examined first.
  int format = img::format::kGif;
  if (bytes.size() < 4 || std::memcmp(bytes.data(), "GIF8", 4) != 0) {
    img::FileInfo info;
    if (img::examineImage(bytes, 1, info) != img::kOk) return {};
    format = info.format;
  }
  img::PixPtr pix = img::decodeImage(bytes, 1, format, 1);
  return pix ? platform::imaging::toQImage(pix.get()) : QImage();
}

}  // namespace

bool StoredThumbnailUsable(const ThumbInfo& thumbnail, const std::string& path) {
  if (thumbnail.ThumbSizeX < kThumbnailMinCell && thumbnail.ThumbSizeY < kThumbnailMinCell) return false;
  const QFileInfo file(QString::fromStdString(path));
  return !file.exists() || !thumbnail.ThumbDateTime.isValid() || file.lastModified() <= thumbnail.ThumbDateTime;
}

QImage RenderThumbnailFromFile(CLead& ctrl, const std::string& path, int bmpResolution) {
  if (ctrl.LoadFile(path, 0, 1, 1) != 0) return {};
  if (ctrl.GetInfoFormat() == kFormatBmp && ctrl.GetXResolution() == kBmpDefaultDpi && GetBmpResolution(path) == 0) {
    ctrl.SetXResolution(static_cast<short>(bmpResolution));
    ctrl.SetYResolution(static_cast<short>(bmpResolution));
  }
  int cellWidth = 0;
  int cellHeight = 0;
  ComputeThumbnailCell(static_cast<int>(ctrl.GetImageWidth()), static_cast<int>(ctrl.GetImageHeight()), cellWidth,
                       cellHeight, ctrl.GetXResolution(), ctrl.GetYResolution());
  ctrl.ResizeImage(static_cast<float>(cellWidth), static_cast<float>(cellHeight), 2);
  QImage image = ctrl.heldImage().copy();
  ctrl.SetImageHandle(0);
  return image;
}

void MakeTilePicture(const PictureRequest& request, CLead* ctrl, FileIcon& picture) {
  picture.Free();
  const ThumbInfo* stored = request.thumbnail;
  if (stored && request.folderBoard && request.imageItem && !StoredThumbnailUsable(*stored, request.path))
    stored = nullptr;
  if (stored) {
    const QImage image = decodeThumbnail(*stored);
    if (image.isNull())
      picture.LoadDefaultIcon(FileIcon::kBrokenPictureIcon);
    else
      picture.LoadFromImage(image, request.annotations, {});
    return;
  }
  if (request.imageItem && request.folderBoard) {
    if (!QFileInfo::exists(QString::fromStdString(request.path))) return;
    const QImage image = ctrl ? RenderThumbnailFromFile(*ctrl, request.path, request.bmpResolution) : QImage();
    if (image.isNull())
      picture.LoadDefaultIcon(FileIcon::kBrokenPictureIcon);
    else
      picture.LoadFromImage(image, request.annotations, {});
    return;
  }
  picture.LoadForFile(request.path);
}
