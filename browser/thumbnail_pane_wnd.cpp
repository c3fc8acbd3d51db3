#include "browser/thumbnail_pane_wnd.h"

#include "browser/board_menus.h"
#include "browser/entry_commands.h"
#include "browser/thumbnail_board_source.h"
#include "browser/thumbnail_picture.h"
#include "browser/title_edit.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/sjis_text.h"
#include "platform/clock.h"
#include "platform/user_interaction.h"
#include "shell/command_ids.h"
#include "shell/entry_holder.h"
#include "shell/page_select_dlg.h"
#include "shell/image_utilities.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>

namespace {

QColor fromColorRef(int value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

std::string fileName(const std::string& title, const std::string& ext) {
  return ext.empty() ? title : title + "." + ext;
}

}  // namespace

ThumbnailPaneWnd::ThumbnailPaneWnd(QWidget* parent, int mode)
    : QAbstractScrollArea(parent), mode_(mode), fonts_(std::make_unique<CaptionFonts>()) {
  setObjectName(QStringLiteral("ctl%1").arg(kControlId));
  setFrameShape(QFrame::StyledPanel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  horizontalScrollBar()->setSingleStep(kScrollLine);
  verticalScrollBar()->setSingleStep(kScrollLine);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  tiles_.reserve(50);
  pool_.reserve(50);
  autoArrange_ = mode_ == kHitBoard;
}

ThumbnailPaneWnd::~ThumbnailPaneWnd() {
  // The editor is a child of the viewport; its end must not reach a board
  // half destroyed.
  if (titleEdit_) titleEdit_->disconnect(this);
}

void ThumbnailPaneWnd::ApplySettings(const BoardSettings& settings) {
  settings_ = settings;
  autoArrange_ = mode_ == kHitBoard || settings.autoSort != 0;
  SetFontSize(settings.fontSize);
}

int ThumbnailPaneWnd::scrollBarExtent() const { return style()->pixelMetric(QStyle::PM_ScrollBarExtent); }

board::Point ThumbnailPaneWnd::scrollPosition() const {
  return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

ThumbnailItemWnd* ThumbnailPaneWnd::Tile(int index) const {
  return index >= 0 && index < tileCount() ? tiles_[static_cast<size_t>(index)].get() : nullptr;
}

int ThumbnailPaneWnd::SelectedCount() const {
  return static_cast<int>(std::count_if(tiles_.begin(), tiles_.end(), [](const auto& t) { return t->IsSelected(); }));
}

std::vector<int> ThumbnailPaneWnd::SelectedEntryIndices() const {
  std::vector<int> indices;
  for (const auto& tile : tiles_)
    if (tile->IsSelected()) indices.push_back(tile->GetIndex());
  return indices;
}

// ---- tiles ---------------------------------------------------------------------

QString ThumbnailPaneWnd::documentTitle(const ItemInfo& item) const {
  return QString::fromStdString(settings_.showExtension && !item.Ext.empty() ? item.Title + "." + item.Ext
                                                                              : item.Title);
}

TileContent ThumbnailPaneWnd::contentFor(int index, const StackInfo* stack, const ItemInfo* item) {
  const DisplayEntry* entry = source_ ? source_->Entry(index) : nullptr;
  StackInfo readStack;
  ItemInfo readItem;
  const bool isStack = entry ? entry->isStack() : stack != nullptr;
  if (source_ && (!item || (isStack && !stack)) && source_->ReadRecords(index, readStack, readItem)) {
    if (!stack && isStack) stack = &readStack;
    if (!item) item = &readItem;
  }
  TileContent content;
  content.stack = isStack;
  if (item) {
    content.documentTitle = documentTitle(*item);
    content.hasAttachedText = !item->TextExt.empty();
  } else if (entry) {
    content.documentTitle = QString::fromStdString(entry->title);
  }
  if (isStack && stack) {
    content.stackTitle = QString::fromStdString(stack->Title);
    content.pageCount = stack->PageCount;
    content.currentPage = stack->CurPageNo;
    content.storedAnchor = {stack->StackPosX, stack->StackPosY};
  } else if (item) {
    content.storedAnchor = {item->SingleItemPosX, item->SingleItemPosY};
  }
  if (entry) content.cell = QSize(entry->cellWidth, entry->cellHeight);
  return content;
}

void ThumbnailPaneWnd::rebuildTile(ThumbnailItemWnd& tile, int index, const StackInfo* stack, const ItemInfo* item) {
  tile.Rebuild(index, contentFor(index, stack, item), *fonts_);
}

int ThumbnailPaneWnd::AddTile(int index, const StackInfo* stack, const ItemInfo* item) {
  const size_t slot = tiles_.size();
  if (slot >= pool_.size()) pool_.push_back(std::make_unique<ThumbnailItemWnd>(mode_));
  std::unique_ptr<ThumbnailItemWnd> tile = std::move(pool_[slot]);
  rebuildTile(*tile, index, stack, item);
  tile->ShowChildren(true);
  zOrder_.push_back(tile.get());
  tiles_.push_back(std::move(tile));
  return static_cast<int>(slot);
}

void ThumbnailPaneWnd::pushTile(ThumbnailItemWnd& tile, int) {
  tile.SetIndex(-1);
  tile.SetSelected(false);
  tile.ShowChildren(false);
  if (&tile == focused_) focused_ = nullptr;
  if (&tile == titleEditTile_) closeTitleEdit();
  zOrder_.erase(std::remove(zOrder_.begin(), zOrder_.end(), &tile), zOrder_.end());
}

void ThumbnailPaneWnd::RemoveAllItems() {
  const bool updates = viewport()->updatesEnabled();
  viewport()->setUpdatesEnabled(false);
  for (size_t i = 0; i < tiles_.size(); ++i) {
    pushTile(*tiles_[i], static_cast<int>(i));
    pool_[i] = std::move(tiles_[i]);
  }
  tiles_.clear();
  zOrder_.clear();
  dropTarget_ = -1;
  hoverIndex_ = -2;
  press_ = {};
  viewport()->setUpdatesEnabled(updates);
  viewport()->update();
  emit selectionChanged();
}

int ThumbnailPaneWnd::RemoveItemAt(int index) {
  if (index < 0 || index >= tileCount()) return 0;
  const size_t last = tiles_.size() - 1;
  pushTile(*tiles_[static_cast<size_t>(index)], index);
  invalidateTile(*tiles_[static_cast<size_t>(index)]);
  pool_[last] = std::move(tiles_[static_cast<size_t>(index)]);
  tiles_.erase(tiles_.begin() + index);
  if (press_.tile && press_.tile->GetIndex() < 0) press_ = {};
  // Tile i shows entry i: the tiles after it move up with their entries.
  RenumberTiles();
  if (dropTarget_ == index) dropTarget_ = -1;
  emit selectionChanged();
  return 1;
}

void ThumbnailPaneWnd::BringToFront(ThumbnailItemWnd* tile) {
  auto it = std::find(zOrder_.begin(), zOrder_.end(), tile);
  if (it == zOrder_.end()) return;
  zOrder_.erase(it);
  zOrder_.push_back(tile);
  invalidateTile(*tile);
}

ThumbnailItemWnd* ThumbnailPaneWnd::TileAt(QPoint client, ThumbnailItemWnd::Zone* zone) const {
  const board::Point s = scrollPosition();
  const QPoint p = client + QPoint(s.x, s.y);
  for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it) {
    const ThumbnailItemWnd::Zone z = (*it)->HitTest(p);
    if (z != ThumbnailItemWnd::Zone::None) {
      if (zone) *zone = z;
      return *it;
    }
  }
  if (zone) *zone = ThumbnailItemWnd::Zone::None;
  return nullptr;
}

void ThumbnailPaneWnd::invalidateTile(const ThumbnailItemWnd& tile) {
  const board::Point s = scrollPosition();
  viewport()->update(tile.Bounds().translated(-s.x, -s.y));
}

void ThumbnailPaneWnd::SetDropTarget(int index) {
  if (index == dropTarget_) return;
  if (ThumbnailItemWnd* old = Tile(dropTarget_)) invalidateTile(*old);
  dropTarget_ = index;
  if (ThumbnailItemWnd* tile = Tile(index)) invalidateTile(*tile);
}

void ThumbnailPaneWnd::SelectOnly(int index) {
  for (const auto& tile : tiles_)
    if (tile->SetSelected(tile->GetIndex() == index)) invalidateTile(*tile);
  emit selectionChanged();
}

void ThumbnailPaneWnd::ScrollEntryIntoView(int index) {
  ThumbnailItemWnd* tile = Tile(index);
  if (!tile) return;
  // Per bar: a box off the near side, or wider than the client, comes to 10
  // pixels from the near side; one past the far side to 10 from the far side.
  constexpr int kMargin = 10;
  const board::Size box = tile->GetCaptionRect();
  const board::Point s = scrollPosition();
  const auto bring = [](int a, int w, int r, int position) {
    if (a < 0 || r < w) return position + a - kMargin;
    if (r < a + w) return position + (a + w) - (r - kMargin);
    return position;
  };
  inScrollUpdate_ = true;
  if (horizontalShown_)
    horizontalScrollBar()->setValue(bring(tile->anchor().x - box.w / 2 - s.x, box.w, viewport()->width(), s.x));
  if (verticalShown_)
    verticalScrollBar()->setValue(bring(tile->anchor().y - s.y, box.h, viewport()->height(), s.y));
  inScrollUpdate_ = false;
}

void ThumbnailPaneWnd::SelectItemById(int kind, int number) {
  if (mode_ != kFolderBoard || !source_) return;
  for (int i = 0; i < tileCount(); ++i) {
    const DisplayEntry* entry = source_->Entry(i);
    if (!entry || entry->kind != kind || entry->number != number) continue;
    ScrollEntryIntoView(i);
    SelectOnly(i);
    return;
  }
}

// ---- pictures ------------------------------------------------------------------

void ThumbnailPaneWnd::EnsurePicture(ThumbnailItemWnd& tile) {
  if (tile.pictureTried && tile.picture().GetKind() != kPictureRenew) return;
  tile.pictureTried = true;
  if (!source_) return;
  const int index = tile.GetIndex();
  DisplayEntry* entry = source_->Entry(index);
  if (!entry) return;
  ItemInfo item;
  ThumbInfo thumb;
  bool found = false;
  if (!source_->ReadThumbnail(index, item, thumb, found)) return;

  if (tile.captionsStale()) {
    tile.ClearCaptionsStale();
    StackInfo stack;
    ItemInfo current;
    if (source_->ReadRecords(index, stack, current) && tile.isStack())
      tile.upperCaption().SetCaptionText(QString::fromStdString(stack.Title), false, *fonts_);
    tile.lowerCaption().SetCaptionText(documentTitle(item), true, *fonts_);
  }
  if (!tile.lowerCaption().styleDecided()) {
    tile.lowerCaption().SetMode(ThumbnailCaptionWnd::kDocumentTitle,
                                item.TextExt.empty() ? ThumbnailCaptionWnd::kPlain : ThumbnailCaptionWnd::kUnderlined);
    tile.lowerCaption().SetCaptionText(tile.lowerCaption().text(), true, *fonts_);
  }

  PictureRequest request;
  request.path = source_->EntryFolder(index) + "/" + fileName(item.Title, item.Ext);
  request.imageItem = item.ImageLevel == kImageLevelImage;
  request.folderBoard = mode_ == kFolderBoard;
  request.thumbnail = found ? &thumb : nullptr;
  request.annotations = request.imageItem && source_->HasAnnotations(index, item.ItemNo);
  request.bmpResolution = settings_.bmpResolution;
  MakeTilePicture(request, source_->ImagingControl(), tile.picture());

  // The cell: a stack's is the largest thumbnail over its pages, so that
  // paging never changes the tile's size; a single item's grows to its
  // picture.
  if (tile.isStack()) {
    if (entry->cellWidth == 0) {
      const QSize cell = source_->StackCell(index);
      tile.SetCell(QSize(std::max(cell.width(), DisplayEntry::kMinCell), std::max(cell.height(), DisplayEntry::kMinCell)));
    }
    if (tile.picture().HoldsBitmap())
      tile.AdjustCell(QSize(tile.picture().GetWidth(), tile.picture().GetHeight()));
  } else {
    if (entry->cellWidth == 0) tile.SetCell(QSize(DisplayEntry::kMinCell, DisplayEntry::kMinCell));
    if (tile.picture().IsHeld()) tile.AdjustCell(QSize(tile.picture().GetWidth(), tile.picture().GetHeight()));
  }
  entry->cellWidth = tile.cell().width();
  entry->cellHeight = tile.cell().height();
}

void ThumbnailPaneWnd::RefreshThumbnail(int kind, int number) {
  if (!source_) return;
  for (const auto& tile : tiles_) {
    DisplayEntry* entry = source_->Entry(tile->GetIndex());
    if (!entry || entry->kind != kind || entry->number != number) continue;
    tile->lowerCaption().SetMode(ThumbnailCaptionWnd::kDocumentTitle, ThumbnailCaptionWnd::kUndecided);
    tile->picture().Free();
    entry->cellWidth = 0;
    entry->cellHeight = 0;
    tile->pictureTried = false;
    tile->SetOptionFlag();
    invalidateTile(*tile);
    return;
  }
}

// ---- painting ------------------------------------------------------------------

bool ThumbnailPaneWnd::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Paint) {
    paintBoard(static_cast<QPaintEvent*>(event));
    return true;
  }
  if (event->type() == QEvent::ToolTip) {
    // A title cut short to its tile is shown whole over its caption.
    const auto* help = static_cast<QHelpEvent*>(event);
    ThumbnailItemWnd::Zone zone;
    const ThumbnailItemWnd* tile = TileAt(help->pos(), &zone);
    const ThumbnailCaptionWnd* caption = !tile                                              ? nullptr
                                         : zone == ThumbnailItemWnd::Zone::LowerCaption ? &tile->lowerCaption()
                                         : zone == ThumbnailItemWnd::Zone::UpperCaption ? &tile->upperCaption()
                                                                                         : nullptr;
    if (caption && caption->elided())
      QToolTip::showText(help->globalPos(), caption->text(), viewport());
    else
      QToolTip::hideText();
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void ThumbnailPaneWnd::paintBoard(QPaintEvent* event) {
  const board::Point s = scrollPosition();
  const QRect exposed = event->rect().translated(s.x, s.y);
  // Pictures first: a new picture may grow its tile.
  for (ThumbnailItemWnd* tile : zOrder_) {
    if (tile->pictureTried || !tile->Bounds().intersects(exposed)) continue;
    const QRect before = tile->Bounds();
    EnsurePicture(*tile);
    if (tile->Bounds() != before) viewport()->update((before | tile->Bounds()).translated(-s.x, -s.y));
  }
  QPainter painter(viewport());
  const TileColours colours{fromColorRef(settings_.backColor),
                            settings_.itemColor < 0 ? palette().color(QPalette::Button)
                                                    : fromColorRef(settings_.itemColor)};
  painter.fillRect(event->rect(), colours.background);
  const QPoint offset(-s.x, -s.y);
  for (ThumbnailItemWnd* tile : zOrder_)
    if (tile->Bounds().intersects(exposed))
      tile->Paint(painter, offset, colours, *fonts_, tile->GetIndex() == dropTarget_);
  // The band and the dragged pictures' outlines, over the tiles.
  if (band_ || !dragRects_.empty()) {
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setBrush(Qt::NoBrush);
    if (band_) {
      painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
      painter.drawRect(bandRect_);
    }
    painter.setPen(QPen(Qt::white, 2));
    if (dragBegun_)
      for (const QRect& r : dragRects_) painter.drawRect(r.adjusted(1, 1, -1, -1));
  }
}

void ThumbnailPaneWnd::scrollContentsBy(int dx, int dy) { viewport()->scroll(dx, dy); }

void ThumbnailPaneWnd::SetRedraw(bool on) {
  viewport()->setUpdatesEnabled(on);
  if (on) viewport()->update();
}

void ThumbnailPaneWnd::RedrawNow() {
  viewport()->update();
  viewport()->repaint();
}

void ThumbnailPaneWnd::SetFontSize(int tenthsOfPoint) {
  fonts_ = std::make_unique<CaptionFonts>(tenthsOfPoint);
  settings_.fontSize = tenthsOfPoint;
  for (const auto& tile : tiles_) {
    tile->upperCaption().SetCaptionText(tile->upperCaption().text(), true, *fonts_);
    tile->lowerCaption().SetCaptionText(tile->lowerCaption().text(), true, *fonts_);
  }
  viewport()->update();
}

// ---- orders and rows -----------------------------------------------------------

void ThumbnailPaneWnd::sortEntriesOfHits(int key, std::vector<int>& order) const {
  order.resize(tiles_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  const auto entry = [this](int i) { return source_->Entry(i); };
  const auto date = [key](const DisplayEntry* e) {
    switch (key) {
      case kSortIssueDate: return e->officialDate;
      case kSortModified: return e->lastModifiedDate;
      default: return e->lastAccessedDate;
    }
  };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const DisplayEntry* ea = entry(a);
    const DisplayEntry* eb = entry(b);
    if (!ea || !eb) return ea != nullptr && eb == nullptr;
    if (key == kSortTitle) return CompareTitles(ea->title, eb->title) < 0;
    return date(ea) < date(eb);
  });
}

void ThumbnailPaneWnd::applyOrder(const std::vector<int>& order) {
  std::vector<std::unique_ptr<ThumbnailItemWnd>> sorted;
  sorted.reserve(order.size());
  for (int from : order) sorted.push_back(std::move(tiles_[static_cast<size_t>(from)]));
  tiles_ = std::move(sorted);
  for (size_t i = 0; i < tiles_.size(); ++i) tiles_[i]->SetIndex(static_cast<int>(i));
  if (source_) source_->ReorderEntries(order);
}

int ThumbnailPaneWnd::SortItems(int key) {
  if (tiles_.size() < 2) return 1;
  std::vector<int> order;
  if (key == kSortVisual) {
    std::vector<board::Point> anchors;
    anchors.reserve(tiles_.size());
    for (const auto& tile : tiles_) anchors.push_back(tile->anchor());
    order = board::VisualOrder(anchors);
  } else {
    if (!source_) return 1;
    std::vector<board::EntryKey> sorted;
    if (mode_ == kFolderBoard && source_->SortedOrder(key, sorted)) {
      std::vector<board::EntryKey> keys;
      keys.reserve(tiles_.size());
      for (int i = 0; i < tileCount(); ++i) {
        const DisplayEntry* e = source_->Entry(i);
        keys.emplace_back(e ? e->kind : -1, e ? e->number : 0);
      }
      order = board::OrderFromEnumeration(keys, sorted);
    } else {
      sortEntriesOfHits(key, order);
    }
  }
  applyOrder(order);
  return 1;
}

void ThumbnailPaneWnd::ArrangeItems(int key, int resetScroll, int showCount) {
  if (tiles_.empty()) {
    UpdateScrollExtent(resetScroll, showCount);
    return;
  }
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  if (key != kSortNone) SortItems(key);
  const int bar = scrollBarExtent();
  const int width = viewport()->width() + (verticalShown_ ? bar : 0);
  const int height = viewport()->height() + (horizontalShown_ ? bar : 0);
  const bool updates = viewport()->updatesEnabled();
  viewport()->setUpdatesEnabled(false);

  std::vector<board::Size> boxes;
  boxes.reserve(tiles_.size());
  for (const auto& tile : tiles_) boxes.push_back(tile->GetCaptionRect());
  const board::ArrangeResult result = board::ArrangeTiles(boxes, width, height, bar, bar);
  std::vector<ThumbnailItemWnd*> moved;
  for (size_t i = 0; i < tiles_.size(); ++i) {
    ThumbnailItemWnd& tile = *tiles_[i];
    if (tile.anchor() == result.anchors[i] && tile.placed()) continue;
    tile.Layout(result.anchors[i]);
    tile.SetPlaced(true);
    moved.push_back(&tile);
  }
  UpdateScrollBars(resetScroll, board::BoardExtent(result.anchors, boxes), showCount);
  viewport()->setUpdatesEnabled(updates);
  viewport()->update();
  if (mode_ == kFolderBoard) writeMovedPositions(moved);
  QGuiApplication::restoreOverrideCursor();
}

void ThumbnailPaneWnd::UpdateScrollExtent(int resetScroll, int showCount) {
  std::vector<board::Point> anchors;
  std::vector<board::Size> boxes;
  for (const auto& tile : tiles_) {
    anchors.push_back(tile->anchor());
    boxes.push_back(tile->GetCaptionRect());
  }
  UpdateScrollBars(resetScroll, board::BoardExtent(anchors, boxes), showCount);
}

void ThumbnailPaneWnd::UpdateScrollBars(int resetScroll, board::Size extent, int showCount) {
  inScrollUpdate_ = true;
  const int bar = scrollBarExtent();
  const board::ScrollBarDecision bars = board::DecideScrollBars(
      extent, {viewport()->width(), viewport()->height()}, verticalShown_, horizontalShown_, bar, bar);
  const board::Point position =
      resetScroll ? board::Point{} : board::ClampScrollPosition(scrollPosition(), extent, bars);
  verticalShown_ = bars.vertical;
  horizontalShown_ = bars.horizontal;
  setHorizontalScrollBarPolicy(bars.horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(bars.vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  // A bar's range ends where its page shows the extent's end plus the gap.
  const auto setBar = [](QScrollBar* scrollBar, bool needed, int extentSide, int page, int value) {
    if (!needed) {
      scrollBar->setRange(0, 0);
      scrollBar->setPageStep(0);
      return;
    }
    scrollBar->setRange(0, std::max(0, extentSide + board::kGap - page + 1));
    scrollBar->setPageStep(page);
    scrollBar->setValue(value);
  };
  setBar(horizontalScrollBar(), bars.horizontal, extent.w, bars.usableWidth, position.x);
  setBar(verticalScrollBar(), bars.vertical, extent.h, bars.usableHeight, position.y);
  extent_ = extent;
  inScrollUpdate_ = false;
  if (mode_ == kFolderBoard && showCount && source_) source_->ShowDocumentCount(tileCount());
}

void ThumbnailPaneWnd::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  if (inScrollUpdate_) return;
  const bool updates = viewport()->updatesEnabled();
  viewport()->setUpdatesEnabled(false);
  if (autoArrange_)
    ArrangeItems(kSortVisual, 0, 0);
  else
    UpdateScrollExtent(0, 0);
  viewport()->setUpdatesEnabled(updates);
}

// ---- positions -----------------------------------------------------------------

void ThumbnailPaneWnd::writeMovedPositions(const std::vector<ThumbnailItemWnd*>& moved) {
  if (!source_ || moved.empty()) return;
  std::vector<ItemInfo> items;
  std::vector<StackInfo> stacks;
  for (const ThumbnailItemWnd* tile : moved) {
    const DisplayEntry* entry = source_->Entry(tile->GetIndex());
    if (!entry) continue;
    if (entry->isStack()) {
      StackInfo stack;
      stack.StackNo = entry->number;
      stack.StackPosX = tile->anchor().x;
      stack.StackPosY = tile->anchor().y;
      stacks.push_back(stack);
    } else {
      ItemInfo item;
      item.ItemNo = entry->number;
      item.SingleItemPosX = tile->anchor().x;
      item.SingleItemPosY = tile->anchor().y;
      items.push_back(item);
    }
  }
  source_->WritePositions(items, stacks);
}

void ThumbnailPaneWnd::PlaceNewItems() {
  if (mode_ != kFolderBoard || tiles_.empty()) return;
  int lowest = 0;
  std::vector<ThumbnailItemWnd*> unplaced;
  std::vector<board::Size> boxes;
  for (const auto& tile : tiles_) {
    const board::Size box = tile->GetCaptionRect();
    if (tile->placed()) {
      lowest = std::max(lowest, tile->anchor().y + box.h);
    } else {
      unplaced.push_back(tile.get());
      boxes.push_back(box);
    }
  }
  if (unplaced.empty()) return;
  // A vertical bar shown later must not cover the last column.
  const int rowWidth = viewport()->width() - (verticalShown_ ? 0 : scrollBarExtent());
  const board::PlacementResult placement = board::PlaceUnplacedTiles(boxes, lowest, rowWidth);
  const bool updates = viewport()->updatesEnabled();
  viewport()->setUpdatesEnabled(false);
  for (size_t i = 0; i < unplaced.size(); ++i) {
    unplaced[i]->Layout(placement.anchors[i]);
    unplaced[i]->SetPlaced(true);
  }
  writeMovedPositions(unplaced);
  viewport()->setUpdatesEnabled(updates);
  viewport()->update();
}

void ThumbnailPaneWnd::SettleNewTiles(const std::vector<int>& indices) {
  if (mode_ != kFolderBoard || indices.empty()) return;
  std::vector<ThumbnailItemWnd*> fresh;
  for (int index : indices)
    if (ThumbnailItemWnd* tile = Tile(index); tile && std::find(fresh.begin(), fresh.end(), tile) == fresh.end())
      fresh.push_back(tile);
  const auto rectOf = [](const ThumbnailItemWnd& tile) {
    const board::Size box = tile.GetCaptionRect();
    const int left = tile.anchor().x - box.w / 2;
    return board::Rect{left, tile.anchor().y, left + box.w, tile.anchor().y + box.h};
  };
  std::vector<board::Rect> taken;
  for (const auto& tile : tiles_)
    if (tile->placed() && std::find(fresh.begin(), fresh.end(), tile.get()) == fresh.end())
      taken.push_back(rectOf(*tile));
  const int rowWidth = viewport()->width() - (verticalShown_ ? 0 : scrollBarExtent());
  if (fresh.size() > kMostTilesSettledOneByOne) {
    int lowest = 0;
    for (const board::Rect& r : taken) lowest = std::max(lowest, r.bottom);
    std::vector<board::Size> boxes;
    for (const ThumbnailItemWnd* tile : fresh) boxes.push_back(tile->GetCaptionRect());
    const board::PlacementResult placement = board::PlaceUnplacedTiles(boxes, lowest, rowWidth);
    for (std::size_t i = 0; i < fresh.size(); ++i) {
      fresh[i]->Layout(placement.anchors[i]);
      fresh[i]->SetPlaced(true);
    }
  } else {
    for (ThumbnailItemWnd* tile : fresh) {
      const board::Rect r = rectOf(*tile);
      const bool free = tile->placed() && r.left >= 0 && r.top >= 0 &&
                        std::none_of(taken.begin(), taken.end(), [&](const board::Rect& t) {
                          return r.left < t.right && t.left < r.right && r.top < t.bottom && t.top < r.bottom;
                        });
      if (!free) tile->Layout(board::FirstFreePlace(tile->GetCaptionRect(), taken, rowWidth));
      tile->SetPlaced(true);
      taken.push_back(rectOf(*tile));
    }
  }
  writeMovedPositions(fresh);
  viewport()->update();
}

void ThumbnailPaneWnd::SavePositions() {
  const board::Point s = scrollPosition();
  std::vector<ThumbnailItemWnd*> moved;
  size_t k = 0;
  for (const auto& tile : tiles_) {
    if (!tile->IsSelected()) continue;
    if (k >= dragRects_.size()) break;
    const QRect drag = dragRects_[k++];
    const QPoint picture = tile->PictureRect().topLeft() - QPoint(s.x, s.y);
    const board::Point anchorClient{tile->anchor().x - s.x, tile->anchor().y - s.y};
    tile->Layout(board::DraggedAnchor(anchorClient, {picture.x(), picture.y()}, {drag.left(), drag.top()}, s,
                                      tile->GetCaptionRect().w));
    tile->SetPlaced(true);
    moved.push_back(tile.get());
  }
  viewport()->update();
  writeMovedPositions(moved);
}

// ---- mouse ---------------------------------------------------------------------

namespace {
// Set by the first move of at most one pixel after a drag began: one value
// for the program, since only one drag can run at a time.
bool smallMoveLatch = false;
}  // namespace

void ThumbnailPaneWnd::mousePressEvent(QMouseEvent* event) {
  // A click anywhere else on the board ends the title edit and applies it.
  if (titleEdit_ && titleEdit_->isVisible()) {
    titleEdit_->End(false);
    return;
  }
  const QPoint pos = event->position().toPoint();
  ThumbnailItemWnd::Zone zone;
  ThumbnailItemWnd* tile = TileAt(pos, &zone);
  const Qt::KeyboardModifiers mods = event->modifiers();
  const bool shift = mods & Qt::ShiftModifier;
  const bool ctrl = mods & Qt::ControlModifier;
  const bool left = event->button() == Qt::LeftButton;
  const bool right = event->button() == Qt::RightButton;
  setFocus(Qt::MouseFocusReason);
  if (!tile) {
    if (left) {
      // A rubber band starts from here.
      SelectOnly(-1);
      band_ = true;
      bandAnchor_ = pos;
      bandRect_ = QRect(pos, QSize(0, 0));
    } else if (right && !(event->buttons() & Qt::LeftButton)) {
      SelectOnly(-1);
      rightOnBackground_ = true;
    }
    return;
  }
  if (shift && ctrl) return;
  switch (zone) {
    case ThumbnailItemWnd::Zone::PageCounter: {
      if (!left) return;
      SelectOnly(tile->GetIndex());
      BringToFront(tile);
      focused_ = tile;
      const board::Point s = scrollPosition();
      const QPoint local = pos + QPoint(s.x, s.y) - tile->pageCounter().rect.topLeft();
      if (tile->pageCounter().Press(local.x()) == PageNumberWnd::kNone) {
        QApplication::beep();
        return;
      }
      press_ = {tile, zone, false, true, Qt::LeftButton};
      invalidateTile(*tile);
      return;
    }
    case ThumbnailItemWnd::Zone::UpperCaption:
    case ThumbnailItemWnd::Zone::LowerCaption: {
      const int which = zone == ThumbnailItemWnd::Zone::UpperCaption ? kUpperCaption : kLowerCaption;
      if (left && tile->IsSelected()) {
        BeginTitleEdit(tile->GetIndex(), which);
      } else if (left) {
        tile->SetSelected(true);
      } else if (right) {
        tile->SetSelected(!tile->IsSelected());
      }
      invalidateTile(*tile);
      emit selectionChanged();
      return;
    }
    default:
      break;
  }
  if (!left && !right) return;
  // One button at a time on a tile.
  if (press_.tile && press_.button != event->button()) return;
  press_ = {tile, zone, shift || ctrl, tile->IsSelected(), event->button()};
  if (left && mode_ == kFolderBoard) {
    SetDropTarget(-1);
    lastDragPoint_ = pos;
    dragBegun_ = false;
    dragging_ = false;
  }
  // A press on a selected tile keeps the selection, so that all selected
  // tiles can be dragged from any of them.
  if (!(shift || ctrl) && !tile->IsSelected()) SelectOnly(tile->GetIndex());
  tile->SetSelected(true);
  BringToFront(tile);
  focused_ = tile;
  invalidateTile(*tile);
  emit selectionChanged();
}

void ThumbnailPaneWnd::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (press_.tile && press_.zone == ThumbnailItemWnd::Zone::PageCounter) {
    const board::Point s = scrollPosition();
    const QPoint local = pos + QPoint(s.x, s.y) - press_.tile->pageCounter().rect.topLeft();
    press_.tile->pageCounter().Track(local.x(), local.y());
    invalidateTile(*press_.tile);
    return;
  }
  if (band_) {
    bandMove(pos);
    return;
  }
  if (press_.tile && press_.button == Qt::LeftButton && mode_ == kFolderBoard) {
    if (!dragBegun_) {
      BeginItemDrag();
    } else {
      DragItems(event->modifiers() & Qt::ControlModifier, pos - lastDragPoint_, event->globalPosition().toPoint());
    }
    lastDragPoint_ = pos;
    return;
  }
  if (mode_ != kFolderBoard || !source_ || event->buttons() != Qt::NoButton) return;
  ThumbnailItemWnd::Zone zone;
  ThumbnailItemWnd* tile = TileAt(pos, &zone);
  // Over a page counter, or over free space, the status information is cleared.
  const int index = tile && zone != ThumbnailItemWnd::Zone::PageCounter ? tile->GetIndex() : -1;
  if (index == hoverIndex_) return;
  hoverIndex_ = index;
  source_->ShowItemInfo(index);
}

void ThumbnailPaneWnd::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (band_ && event->button() == Qt::LeftButton) {
    bandEnd();
    return;
  }
  if (rightOnBackground_ && event->button() == Qt::RightButton) {
    rightOnBackground_ = false;
    runMenu(BuildPaneMenu(), event->globalPosition().toPoint(), -1);
    return;
  }
  if (!press_.tile || event->button() != press_.button) return;
  const Press press = press_;
  press_ = {};
  if (press.zone == ThumbnailItemWnd::Zone::PageCounter) {
    const int step = press.tile->pageCounter().Release();
    invalidateTile(*press.tile);
    if (step != PageNumberWnd::kNone) OnPageStep(press.tile->GetIndex(), step);
    return;
  }
  if (press.button == Qt::RightButton) {
    if (TileAt(pos) == press.tile) runMenu(BuildTileMenu(press.tile->GetIndex()), event->globalPosition().toPoint(),
                                           press.tile->GetIndex());
    return;
  }
  bool dragged = false;
  if (dragBegun_) dragged = DropItems(event->modifiers() & Qt::ControlModifier, pos, event->globalPosition().toPoint());
  dragBegun_ = false;
  SetDropTarget(-1);
  // After a drag the selection stays as it was.
  if (dragged || press.tile->GetIndex() < 0) return;
  if (!press.modifiers)
    SelectOnly(press.tile->GetIndex());
  else if (press.tile->SetSelected(!press.selectedBefore))
    invalidateTile(*press.tile);
  emit selectionChanged();
}

void ThumbnailPaneWnd::mouseDoubleClickEvent(QMouseEvent* event) {
  ThumbnailItemWnd::Zone zone;
  const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier;
  ThumbnailItemWnd* tile = TileAt(event->position().toPoint(), &zone);
  if (tile && event->button() == Qt::LeftButton && zone == ThumbnailItemWnd::Zone::Picture) {
    emit openRequested(tile->GetIndex());
  } else if (tile && event->button() == Qt::RightButton && (event->buttons() & Qt::LeftButton) &&
             (event->modifiers() & all) == all) {
    // The maintenance gesture: one document's file format.
    tile->SetSelected(true);
    invalidateTile(*tile);
    emit selectionChanged();
    if (mode_ == kFolderBoard && SelectedCount() == 1)
      runMenu(BuildMaintenanceMenu(), event->globalPosition().toPoint(), tile->GetIndex());
  } else {
    mousePressEvent(event);
  }
}

// ---- rubber band ---------------------------------------------------------------

void ThumbnailPaneWnd::bandMove(QPoint client) {
  // Past an edge the board scrolls toward the pointer, one line per move,
  // and the anchor moves with the content.
  const QRect area = viewport()->rect();
  const auto step = [](int p, int low, int high) { return p > high ? kScrollLine : p < low ? -kScrollLine : 0; };
  const board::Point before = scrollPosition();
  if (horizontalShown_) {
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(std::clamp(before.x + step(client.x(), 0, area.right()), bar->minimum(), bar->maximum()));
  }
  if (verticalShown_) {
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(std::clamp(before.y + step(client.y(), 0, area.bottom()), bar->minimum(), bar->maximum()));
  }
  const board::Point after = scrollPosition();
  bandAnchor_ -= QPoint(after.x - before.x, after.y - before.y);
  const QRect band = QRect(bandAnchor_, client).normalized();
  if (band == bandRect_ && after == before) return;
  viewport()->update(bandRect_.adjusted(-1, -1, 1, 1));
  bandRect_ = band;
  viewport()->update(bandRect_.adjusted(-1, -1, 1, 1));
}

void ThumbnailPaneWnd::bandEnd() {
  band_ = false;
  const board::Point s = scrollPosition();
  const QRect band = bandRect_.translated(s.x, s.y);
  viewport()->update(bandRect_.adjusted(-1, -1, 1, 1));
  bandRect_ = QRect();
  for (const auto& tile : tiles_) {
    // A stack's counter, both captions and picture; a single item's lower
    // caption and picture.
    std::vector<QRect> zones{tile->lowerCaption().rect(), tile->PictureRect()};
    if (tile->isStack()) {
      zones.push_back(tile->upperCaption().rect());
      zones.push_back(tile->pageCounter().rect);
    }
    const bool hit = std::any_of(zones.begin(), zones.end(), [&](const QRect& r) { return r.intersects(band); });
    if (hit && tile->SetSelected(true)) invalidateTile(*tile);
  }
  emit selectionChanged();
}

// ---- dragging tiles ------------------------------------------------------------

int ThumbnailPaneWnd::BeginItemDrag() {
  outside_ = {};
  dragRects_.clear();
  const board::Point s = scrollPosition();
  for (const auto& tile : tiles_) {
    if (!tile->IsSelected()) continue;
    const QRect picture = tile->PictureRect();
    dragRects_.push_back(QRect(picture.topLeft(), tile->GetImageRect().size()).translated(-s.x, -s.y));
  }
  dragBegun_ = true;
  dragging_ = false;
  smallMoveLatch = false;
  viewport()->update();
  return static_cast<int>(dragRects_.size());
}

ThumbnailPaneWnd::DragState ThumbnailPaneWnd::dragStateAt(QPoint globalPos, OutsideTarget& outside) const {
  outside = findOutsideTarget ? findOutsideTarget(globalPos) : OutsideTarget{};
  if (outside.kind == OutsideTarget::Application) return DragState::Application;
  if (outside.kind == OutsideTarget::Tree) return DragState::Tree;
  return viewport()->rect().contains(viewport()->mapFromGlobal(globalPos)) ? DragState::Board : DragState::Outside;
}

void ThumbnailPaneWnd::setDragCursor(DragState state, bool copy) {
  switch (state) {
    case DragState::Outside: viewport()->setCursor(Qt::ForbiddenCursor); break;
    case DragState::Board: viewport()->setCursor(Qt::DragMoveCursor); break;
    case DragState::Tree: viewport()->setCursor(copy ? Qt::DragCopyCursor : Qt::DragMoveCursor); break;
    case DragState::Application: viewport()->setCursor(Qt::DragLinkCursor); break;
  }
}

void ThumbnailPaneWnd::DragItems(bool copy, QPoint movement, QPoint globalPos) {
  // The first move after the press only begins the drag; a further move of
  // two pixels or more makes it real, or else the one after that.
  if (!dragging_) {
    if (smallMoveLatch || std::abs(movement.x()) > 1 || std::abs(movement.y()) > 1)
      dragging_ = true;
    else
      smallMoveLatch = true;
  }
  OutsideTarget outside;
  dragState_ = dragStateAt(globalPos, outside);
  int target = -1;
  if (dragState_ == DragState::Board) target = HitTestDropTarget(viewport()->mapFromGlobal(globalPos));
  SetDropTarget(target);
  outside_ = outside;
  for (QRect& r : dragRects_) r.translate(movement);
  viewport()->update();
  setDragCursor(dragState_, copy);
}

bool ThumbnailPaneWnd::DropItems(bool copy, QPoint client, QPoint globalPos) {
  const bool dragged = dragging_;
  OutsideTarget outside;
  const DragState state = dragStateAt(globalPos, outside);
  const int target = state == DragState::Board && dragged ? HitTestDropTarget(client) : -1;
  viewport()->unsetCursor();
  viewport()->update();
  if (state == DragState::Application && outside.button >= 0) {
    emit applicationDropRequested(outside.button);
  } else if (state == DragState::Tree) {
    emit folderDropRequested(outside.folder, copy);
  } else if (state == DragState::Board && dragged) {
    if (target >= 0)
      emit mergeRequested(target);
    else
      SavePositions();
    tidyAfterChange();
  }
  dragRects_.clear();
  dragBegun_ = false;
  dragging_ = false;
  outside_ = {};
  dragState_ = DragState::Outside;
  SetDropTarget(-1);
  return dragged;
}

int ThumbnailPaneWnd::HitTestDropTarget(QPoint client) const {
  const board::Point s = scrollPosition();
  const QPoint p = client + QPoint(s.x, s.y);
  for (const auto& tile : tiles_) {
    if (tile->IsSelected()) continue;
    const bool stack = tile->isStack();
    if (tile->PictureRect().contains(p) || (stack && tile->upperCaption().rect().contains(p)) ||
        tile->lowerCaption().rect().contains(p) || (stack && tile->pageCounter().rect.contains(p)))
      return tile->GetIndex();
  }
  return -1;
}

void ThumbnailPaneWnd::tidyAfterChange() {
  if (autoArrange_) {
    ArrangeItems(kSortVisual, 0, 1);
  } else {
    const bool updates = viewport()->updatesEnabled();
    viewport()->setUpdatesEnabled(false);
    UpdateScrollExtent(0, 1);
    viewport()->setUpdatesEnabled(updates);
    viewport()->update();
  }
}

// ---- wheel, scrolling and keys ---------------------------------------------------

int ThumbnailPaneWnd::NewScrollPosition(int code, int position, int minimum, int lastPosition, int page, int amount) {
  switch (code) {
    case 0: return std::max(position - kScrollLine, minimum);
    case 1: return std::min(position + kScrollLine, lastPosition);
    case 2: return std::max(position - page, minimum);
    case 3: return std::min(position + page, lastPosition);
    case 4: return std::min(amount, lastPosition);
    case 5: return amount;
    case 6: return minimum;
    case 7: return lastPosition;
    case kWheelUp: return std::max(position - amount, minimum);
    case kWheelDown: return std::min(position + amount, lastPosition);
    default: return position;
  }
}

void ThumbnailPaneWnd::scrollBy(QScrollBar* bar, bool shown, int code, int amount) {
  if (!shown || bar->maximum() < 1) {
    bar->setValue(0);
    return;
  }
  bar->setValue(NewScrollPosition(code, bar->value(), bar->minimum(), bar->maximum(), bar->pageStep(), amount));
}

void ThumbnailPaneWnd::OnHScroll(int code, int amount) { scrollBy(horizontalScrollBar(), horizontalShown_, code, amount); }

void ThumbnailPaneWnd::OnVScroll(int code, int amount) { scrollBy(verticalScrollBar(), verticalShown_, code, amount); }

void ThumbnailPaneWnd::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  event->accept();
  if (delta == 0) return;
  const int code = delta > 0 ? kWheelUp : kWheelDown;
  const int amount = std::abs(delta);
  // Posted, as a scroll bar's own request would be.
  if (verticalShown_ && verticalScrollBar()->maximum() >= 1) {
    emit scrollRequested(Qt::Vertical, code, amount);
    QMetaObject::invokeMethod(this, [this, code, amount] { OnVScroll(code, amount); }, Qt::QueuedConnection);
  } else if (horizontalShown_ && horizontalScrollBar()->maximum() >= 1) {
    emit scrollRequested(Qt::Horizontal, code, amount);
    QMetaObject::invokeMethod(this, [this, code, amount] { OnHScroll(code, amount); }, Qt::QueuedConnection);
  }
}

void ThumbnailPaneWnd::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Control && !event->isAutoRepeat() && dragState_ == DragState::Tree) {
    setDragCursor(dragState_, true);
    return;
  }
  // A Delete that a shortcut took never reaches the board: only one that
  // went down here deletes when it comes up.
  if (event->key() == Qt::Key_Delete && !event->isAutoRepeat()) {
    deletePressed_ = true;
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void ThumbnailPaneWnd::keyReleaseEvent(QKeyEvent* event) {
  if (event->isAutoRepeat()) return;
  if (event->key() == Qt::Key_Control && dragState_ == DragState::Tree) {
    setDragCursor(dragState_, false);
    return;
  }
  if (event->key() == Qt::Key_Delete) {
    const bool pressedHere = deletePressed_;
    deletePressed_ = false;
    if (pressedHere && !dragBegun_ && !band_ && !press_.tile) emit deleteRequested(event->modifiers() & Qt::ShiftModifier);
    return;
  }
  QAbstractScrollArea::keyReleaseEvent(event);
}

// ---- menus and commands ----------------------------------------------------------

void ThumbnailPaneWnd::OnSelectAll() {
  for (const auto& tile : tiles_)
    if (tile->SetSelected(true)) invalidateTile(*tile);
  emit selectionChanged();
}

void ThumbnailPaneWnd::RenumberTiles() {
  for (size_t i = 0; i < tiles_.size(); ++i) tiles_[i]->SetIndex(static_cast<int>(i));
}

bool ThumbnailPaneWnd::anySelectedImage() {
  if (!source_) return false;
  for (const auto& tile : tiles_) {
    if (!tile->IsSelected()) continue;
    StackInfo stack;
    ItemInfo item;
    if (source_->ReadRecords(tile->GetIndex(), stack, item) && item.ImageLevel == kImageLevelImage) return true;
  }
  return false;
}

std::unique_ptr<QMenu> ThumbnailPaneWnd::BuildPaneMenu() {
  PaneMenuState state;
  state.folderBoard = mode_ == kFolderBoard;
  state.tileCount = tileCount();
  state.autoArrange = autoArrange_;
  state.clipboardHoldsEntries = commandAvailable ? commandAvailable(cmd::kPaste) : false;
  return ::BuildPaneMenu(state);
}

std::unique_ptr<QMenu> ThumbnailPaneWnd::BuildTileMenu(int tileIndex) {
  ThumbnailItemWnd* tile = Tile(tileIndex);
  if (!tile) return nullptr;
  TileMenuState state;
  state.folderBoard = mode_ == kFolderBoard;
  state.stack = tile->isStack();
  state.selectedCount = SelectedCount();
  state.anyImageSelected = anySelectedImage();
  if (applicationNames) state.applications = applicationNames();
  state.copyAvailable = available(cmd::kCopy);
  state.ocrAvailable = available(cmd::kOcr);
  state.rotateAvailable = available(cmd::kRotateRight);
  state.duplicateAvailable = available(cmd::kDuplicate);
  state.duplicatePageAvailable = available(kDuplicatePageCommand);
  state.stackAvailable = available(cmd::kStack);
  state.reorderAvailable = available(cmd::kReorderPages);
  state.stackRenameAvailable = available(kStackRenameCommand);
  state.exportAvailable = available(cmd::kExport);
  state.propertiesAvailable = available(cmd::kProperties);
  state.applicationsAvailable = available(cmd::kFirstApplicationMenuEntry);
  return ::BuildTileMenu(state);
}

std::unique_ptr<QMenu> ThumbnailPaneWnd::BuildMaintenanceMenu() {
  return ::BuildMaintenanceMenu(anySelectedImage(), available(tilecmd::kConvertFormat));
}

void ThumbnailPaneWnd::runMenu(std::unique_ptr<QMenu> menu, QPoint globalPos, int tileIndex) {
  if (!menu) return;
  QAction* chosen = menuRunner ? menuRunner(*menu, globalPos) : menu->exec(globalPos);
  if (!chosen) return;
  const int id = chosen->data().toInt();
  if (tileIndex < 0)
    OnPaneCommand(id);
  else
    OnTileCommand(id, tileIndex);
}

void ThumbnailPaneWnd::OnPaneCommand(int commandId) {
  switch (commandId) {
    case cmd::kSortTitle: ArrangeItems(kSortTitle, 1, 0); break;
    case cmd::kSortIssueDate: ArrangeItems(kSortIssueDate, 1, 0); break;
    case cmd::kSortModified: ArrangeItems(kSortModified, 1, 0); break;
    case cmd::kSortAccessed: ArrangeItems(kSortAccessed, 1, 0); break;
    case cmd::kArrangeEvenly: ArrangeItems(kSortVisual, 1, 0); break;
    case cmd::kAutoArrange:
      // The owner keeps the setting; switched on, the board is arranged.
      if (mode_ == kFolderBoard) emit viewCommandRequested(cmd::kAutoArrange);
      break;
    case panecmd::kSelectAll: OnSelectAll(); break;
    case cmd::kPaste:
      if (mode_ == kFolderBoard) emit viewCommandRequested(cmd::kPaste);
      break;
    default: break;
  }
}

void ThumbnailPaneWnd::OnTileCommand(int commandId, int tileIndex) {
  ThumbnailItemWnd* tile = Tile(tileIndex);
  const bool folderBoard = mode_ == kFolderBoard;
  if (commandId >= tilecmd::kFirstApplication && commandId < tilecmd::kFirstApplication + 14) {
    emit viewCommandRequested(commandId);
    return;
  }
  switch (commandId) {
    case tilecmd::kCopy:
      if (folderBoard) emit viewCommandRequested(cmd::kCopy);
      break;
    case tilecmd::kDelete: emit deleteRequested(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); break;
    case tilecmd::kRename:
    case tilecmd::kRenameDialog:
      if (!tile) break;
      if (!tile->isStack())
        BeginTitleEdit(tileIndex, kLowerCaption);
      else
        emit viewCommandRequested(kStackRenameCommand);
      break;
    case tilecmd::kOcr: emit viewCommandRequested(cmd::kOcr); break;
    case tilecmd::kRotateLeft:
      if (folderBoard) emit viewCommandRequested(cmd::kRotateLeft);
      break;
    case tilecmd::kRotateRight:
      if (folderBoard) emit viewCommandRequested(cmd::kRotateRight);
      break;
    case tilecmd::kRotate180:
      if (folderBoard) emit viewCommandRequested(cmd::kRotate180);
      break;
    case tilecmd::kDuplicate:
    case tilecmd::kDuplicateAllPages: emit viewCommandRequested(cmd::kDuplicate); break;
    case tilecmd::kDuplicatePage: emit viewCommandRequested(kDuplicatePageCommand); break;
    case tilecmd::kStack:
      if (folderBoard) emit viewCommandRequested(cmd::kStack);
      break;
    case tilecmd::kReorderPages: emit viewCommandRequested(cmd::kReorderPages); break;
    case tilecmd::kUnstackOne: emit unstackRequested(tileIndex, false); break;
    case tilecmd::kUnstackAll: emit unstackRequested(tileIndex, true); break;
    case tilecmd::kExport: emit viewCommandRequested(cmd::kExport); break;
    case tilecmd::kProperties: emit viewCommandRequested(cmd::kProperties); break;
    case tilecmd::kConvertFormat: emit viewCommandRequested(tilecmd::kConvertFormat); break;
    case tilecmd::kShowInViewer:
      if (!folderBoard) emit hitChosen(tileIndex, 2);
      break;
    case tilecmd::kShowFolder:
      if (!folderBoard) emit hitChosen(tileIndex, 3);
      break;
    default: break;
  }
}

// ---- pages ---------------------------------------------------------------------

void ThumbnailPaneWnd::OnPageStep(int tileIndex, int step) {
  ThumbnailItemWnd* tile = Tile(tileIndex);
  if (!tile || !source_ || !tile->isStack()) return;
  StackInfo stack;
  ItemInfo item;
  if (!source_->ReadRecords(tileIndex, stack, item)) return;
  if (step == PageNumberWnd::kPrevious) {
    if (stack.CurPageNo < 2) return;
    --stack.CurPageNo;
  } else if (step == PageNumberWnd::kNext) {
    if (stack.CurPageNo >= stack.PageCount) return;
    ++stack.CurPageNo;
  } else {
    std::vector<ItemInfo> pages;
    if (!source_->ReadStackPages(tileIndex, pages) || pages.empty()) return;
    std::vector<PageSelectDlg::Page> rows;
    for (const ItemInfo& page : pages)
      rows.push_back({QString::fromStdString(page.Title), QString::fromStdString(page.Ext),
                      page.ImageLevel == kImageLevelImage ? 0 : 1});
    PageSelectDlg dialog(rows, stack.CurPageNo - 1, settings_.showExtension, this);
    const int result = pageDialogRunner ? pageDialogRunner(dialog) : dialog.exec();
    if (result != QDialog::Accepted || dialog.selectedPage() < 0) return;
    stack.CurPageNo = dialog.selectedPage() + 1;
  }
  // The hit board keeps the stack where it stands.
  stack.StackPosX = tile->anchor().x;
  stack.StackPosY = tile->anchor().y;
  const int code = source_->SetStackInfo(tileIndex, stack, fieldmask::kStackCurPageNo);
  source_->ReportDbError(code);
  if (code != 0) return;
  const board::Point anchor = tile->anchor();
  const bool placed = tile->placed();
  const QSize cell = tile->cell();
  const QRect before = tile->Bounds();
  ItemInfo page;
  StackInfo reread;
  const ItemInfo* pagePtr = source_->ReadRecords(tileIndex, reread, page) ? &page : nullptr;
  rebuildTile(*tile, tileIndex, &stack, pagePtr);
  tile->SetCell(cell);
  tile->Layout(anchor);
  tile->SetPlaced(placed);
  tile->ShowChildren(true);
  tile->SetSelected(true);
  const board::Point s = scrollPosition();
  viewport()->update((before | tile->Bounds()).translated(-s.x, -s.y));
}

void ThumbnailPaneWnd::RebuildTile(int tileIndex) {
  ThumbnailItemWnd* tile = Tile(tileIndex);
  if (!tile) return;
  const board::Point anchor = tile->anchor();
  const bool placed = tile->placed();
  const QRect before = tile->Bounds();
  rebuildTile(*tile, tileIndex, nullptr, nullptr);
  tile->Layout(anchor);
  tile->SetPlaced(placed);
  tile->ShowChildren(true);
  const board::Point s = scrollPosition();
  viewport()->update((before | tile->Bounds()).translated(-s.x, -s.y));
}

// ---- titles --------------------------------------------------------------------

void ThumbnailPaneWnd::BeginTitleEdit(int tileIndex, int which) {
  ThumbnailItemWnd* tile = Tile(tileIndex);
  if (!tile || !source_ || (which == kUpperCaption && !tile->isStack())) return;
  closeTitleEdit();
  StackInfo stack;
  ItemInfo item;
  if (!source_->ReadRecords(tileIndex, stack, item)) return;
  const ThumbnailCaptionWnd& caption = which == kUpperCaption ? tile->upperCaption() : tile->lowerCaption();
  const QString text = QString::fromStdString(which == kUpperCaption ? stack.Title : item.Title);
  auto* edit = new TitleEdit(which == kUpperCaption ? TitleEdit::kUpperCaptionId : TitleEdit::kLowerCaptionId, text,
                             viewport());
  const board::Point s = scrollPosition();
  const QRect r = caption.rect().translated(-s.x, -s.y);
  edit->setFont(caption.Font(*fonts_));
  // The editor shows the whole title as it is typed: as wide as the text
  // (never narrower than the caption), centred on it, kept in the pane.
  const auto fit = [this, edit, r] {
    const int room = std::max(1, viewport()->width() - 2);
    const int wanted = edit->fontMetrics().horizontalAdvance(edit->text()) + kTitleEditSlack;
    const int width = std::min(std::max(wanted, r.width() + 20), room);
    const int left = std::clamp(r.center().x() - width / 2, 0, std::max(0, viewport()->width() - width));
    edit->setGeometry(left, r.top(), width, r.height());
  };
  fit();
  connect(edit, &QLineEdit::textChanged, edit, fit);
  titleEdit_ = edit;
  titleEditTile_ = tile;
  titleEditWhich_ = which;
  // The end is handled after the event that ended the edit has finished.
  connect(edit, &TitleEdit::editEnded, this, &ThumbnailPaneWnd::OnTitleEditEnd, Qt::QueuedConnection);
  edit->show();
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
  source_->SetTitleEditing(true);
}

void ThumbnailPaneWnd::closeTitleEdit() {
  if (titleEdit_) {
    titleEdit_->disconnect(this);
    titleEdit_->hide();
    titleEdit_->deleteLater();
  }
  titleEdit_ = nullptr;
  titleEditTile_ = nullptr;
}

void ThumbnailPaneWnd::OnTitleEditEnd(int, bool cancelled) {
  if (!titleEdit_ || !titleEditTile_) return;
  if (source_) source_->SetTitleEditing(false);
  const std::string title = titleEdit_->text().toStdString();
  const bool unchanged = titleEdit_->text().trimmed() == titleEdit_->startingText();
  ThumbnailItemWnd* tile = titleEditTile_;
  const int which = titleEditWhich_;
  closeTitleEdit();
  setFocus(Qt::OtherFocusReason);
  focused_ = tile;
  if (cancelled || unchanged || !source_) return;
  EntryCommands commands(*source_);
  showRenameResult(*tile, which,
                   which == kUpperCaption ? commands.RenameStack(tile->GetIndex(), title)
                                          : commands.RenameDocument(tile->GetIndex(), title));
}

void ThumbnailPaneWnd::showRenameResult(ThumbnailItemWnd& tile, int which, const CommandResult& result) {
  const int index = tile.GetIndex();
  if (!result.message.empty())
    platform::messageBox(result.message, platform::Buttons::Ok, platform::Icon::Warning, EntryCommands::kRenameCaption);
  // A title that may be corrected is edited again; nothing else is.
  if (result.status == CommandStatus::Refused) BeginTitleEdit(index, which);
  if (!result.done()) return;
  const QRect before = tile.Bounds();
  if (which == kUpperCaption) {
    if (const DisplayEntry* entry = source_->Entry(index))
      tile.upperCaption().SetCaptionText(QString::fromStdString(entry->title), false, *fonts_);
  } else {
    StackInfo stack;
    ItemInfo item;
    if (source_->ReadRecords(index, stack, item))
      tile.lowerCaption().SetCaptionText(documentTitle(item), false, *fonts_);
  }
  const board::Point s = scrollPosition();
  viewport()->update((before | tile.Bounds()).translated(-s.x, -s.y));
}
