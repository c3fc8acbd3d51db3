#pragma once
// ThumbnailPaneWnd: the board of thumbnail tiles, the right pane in
// thumbnail mode. For now an empty board that counts the tiles the document
// adds; the tiles themselves come with the board's own code.

#include "shell/document_views.h"

#include <QFrame>

class ThumbnailPaneWnd : public QFrame, public ThumbnailPaneSink {
  Q_OBJECT
 public:
  static constexpr int kControlId = 2002;

  explicit ThumbnailPaneWnd(QWidget* parent = nullptr);

  int tileCount() const { return tileCount_; }

  // ThumbnailPaneSink
  void SetRedraw(bool on) override { setUpdatesEnabled(on); }
  void RedrawNow() override { repaint(); }
  void RemoveAllItems() override { tileCount_ = 0; }
  void AddItem(int, const StackInfo*, const ItemInfo*) override { ++tileCount_; }
  void PlaceNewItems() override {}
  bool ArrangesAutomatically() const override { return false; }
  void ArrangeItems(int, int, int) override {}
  void UpdateScrollExtent(int, int) override {}
  void ScrollEntryIntoView(int) override {}
  void SelectOnly(int) override {}

 private:
  int tileCount_ = 0;
};
