#pragma once
// The picture of a tile, made from what the catalogue and the disk hold:
//
//   1. a stored thumbnail, unless (folder board, image item) it is older
//      than its file or smaller than 77 px both ways: decoded once;
//   2. else, for an image item of the folder board whose file exists, the
//      file's first page rendered at the cell size (a BMP without a
//      resolution of its own is taken at the BMP setting);
//   3. else the icon of the file's type.
// A picture that cannot be made is the stock icon 140; an image item whose
// file is gone has none (the tile says so).
//
//   MakeTilePicture, StoredThumbnailUsable, RenderThumbnailFromFile

#include <QImage>

#include <string>

class CLead;
class FileIcon;
struct ThumbInfo;

inline constexpr int kImageLevelImage = 1;
// FileIcon kind of a picture to be made anew at the next paint.
inline constexpr int kPictureRenew = 1;

struct PictureRequest {
  std::string path;  // the document's file
  bool imageItem = false;
  bool folderBoard = true;
  const ThumbInfo* thumbnail = nullptr;  // none when the item has no stored thumbnail
  bool annotations = false;
  int bmpResolution = 400;
};

void MakeTilePicture(const PictureRequest& request, CLead* imagingControl, FileIcon& picture);

// Whether the stored thumbnail may stand for the file at path.
bool StoredThumbnailUsable(const ThumbInfo& thumbnail, const std::string& path);

// Page 1 of the file scaled to its thumbnail cell; null when it cannot be
// loaded. The control holds nothing afterwards.
QImage RenderThumbnailFromFile(CLead& imagingControl, const std::string& path, int bmpResolution);
