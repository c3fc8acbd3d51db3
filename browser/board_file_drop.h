#pragma once
// BoardFileDrop: files dragged from another program (a file manager) and
// dropped on the thumbnail board are imported into the open folder, each
// near the drop point, under the import progress dialog.
//
// It watches the board's viewport as an event filter, so the board itself
// knows nothing of it; the board's own tile drags never make drag events and
// never meet it. The import of each file is the document's
// (CFD3Doc::ImportFile, through ImportFileLoop); this class is the loop's
// admission of names and the positions.
//
// Position of the i-th dropped name (i over all names, skipped ones
// included): (drop x + 20 i, drop y + 20 i - 40) in board coordinates, so
// that the first picture's top, 44 pixels below its anchor, lands near the
// point; kept inside the board.

#include "browser/local_file_drop.h"

#include <QPoint>

#include <functional>
#include <string>
#include <vector>

class CFD3Doc;
class ThumbnailPaneWnd;
struct KankyoSettings;

class BoardFileDrop : public LocalFileDrop {
  Q_OBJECT
 public:
  static constexpr int kStep = 20;
  static constexpr int kAnchorAbove = 40;

  // Installs itself on board (which owns it). settings gives the frame's
  // settings when there is a frame.
  BoardFileDrop(ThumbnailPaneWnd* board, CFD3Doc& doc, std::function<const KankyoSettings*()> settings = {});

  // The board position of the index-th dropped name for a drop at
  // boardPoint (client point + scroll position).
  static QPoint PositionFor(QPoint boardPoint, int index);
  // Whether a dropped name can be imported; tells the user why not, with one
  // word about folders per drop (folderTold).
  static bool AdmitDroppedName(CFD3Doc& doc, const std::string& path, bool& folderTold);
  // Imports the dropped names; clientPoint is in the viewport's coordinates.
  void OnDropFiles(QPoint clientPoint, const std::vector<std::string>& names) override;

 private:
  ThumbnailPaneWnd* board_;
  CFD3Doc& doc_;
  std::function<const KankyoSettings*()> settings_;
};
