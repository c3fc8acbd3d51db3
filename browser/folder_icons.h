#pragma once
// The folder tree's 54 pictures: six per colour index c, at c * 6 + 0 folder,
// + 1 folder when selected, + 2 folder marked as clean-up target, + 3 marked
// folder when selected, + 4 desktop, + 5 desktop marked as clean-up target.
// Drawn once, 16 x 16 pixels.

#include <QHash>
#include <QIcon>
#include <QPixmap>

class FolderIcons {
 public:
  static constexpr int kSize = 16;
  static constexpr int kImagesPerColour = 6;
  static constexpr int kImageCount = 54;

  static const FolderIcons& instance();

  // The picture of an index (out-of-range indexes show the default folder).
  const QPixmap& pixmap(int index) const;
  // An icon that shows image normally and selectedImage when its item is
  // selected.
  QIcon icon(int image, int selectedImage) const;
  // The pair for a folder's CleanUp value, as a folder or as the desktop.
  QIcon iconForValue(bool desktop, int cleanUpValue) const;

 private:
  FolderIcons();
  QPixmap pixmaps_[kImageCount];
  mutable QHash<int, QIcon> icons_;  // by image * 64 + selected image
};
