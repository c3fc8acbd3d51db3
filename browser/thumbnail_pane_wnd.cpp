#include "browser/thumbnail_pane_wnd.h"

#include "browser/document_rename.h"
#include "browser/thumbnail_board_source.h"
#include "browser/thumbnail_picture.h"
#include "browser/title_edit.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/sjis_text.h"
#include "platform/clock.h"
#include "platform/user_interaction.h"
#include "shell/entry_holder.h"
#include "shell/image_utilities.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kScrollLine = 30;  // pixels per line step of the scroll bars
constexpr const char* kRenameCaption = "タイトルの変更";
constexpr const char* kForbiddenFirst = "'*?][#|";
constexpr const char* kForbiddenSecond = "\"\\/:<>";

QColor fromColorRef(int value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

std::string trimSpaces(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string forbiddenCharacterMessage() {
  char text[256];
  std::snprintf(text, sizeof text, "タイトルには %s%s を含めないで下さい。", kForbiddenFirst, kForbiddenSecond);
  return text;
}

std::string duplicateTitleMessage(const std::string& title) {
  return "フォルダ内に同名のタイトル「 " + title + " 」が存在します。\n別のタイトルを指定してください。";
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
  const QRect r = tile->Bounds();
  const board::Point s = scrollPosition();
  const QSize client = viewport()->size();
  int x = s.x;
  int y = s.y;
  if (r.right() >= x + client.width()) x = r.right() + 1 - client.width();
  if (r.left() < x) x = r.left();
  if (r.bottom() >= y + client.height()) y = r.bottom() + 1 - client.height();
  if (r.top() < y) y = r.top();
  horizontalScrollBar()->setValue(x);
  verticalScrollBar()->setValue(y);
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
  setFocus(Qt::MouseFocusReason);
  if (!tile) {
    if (event->button() == Qt::LeftButton) SelectOnly(-1);
    return;
  }
  if (shift && ctrl) return;
  const bool left = event->button() == Qt::LeftButton;
  const bool right = event->button() == Qt::RightButton;
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
      press_ = {tile, zone, false, true};
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
  press_ = {tile, zone, shift || ctrl, tile->IsSelected()};
  if (shift || ctrl)
    tile->SetSelected(true);
  else if (!tile->IsSelected())
    SelectOnly(tile->GetIndex());
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
  if (mode_ != kFolderBoard || !source_ || event->buttons() != Qt::NoButton) return;
  ThumbnailItemWnd::Zone zone;
  ThumbnailItemWnd* tile = TileAt(pos, &zone);
  // Over a page counter the status information is cleared.
  const int index = tile && zone != ThumbnailItemWnd::Zone::PageCounter ? tile->GetIndex() : -1;
  if (index == hoverIndex_) return;
  hoverIndex_ = index;
  source_->ShowItemInfo(index);
}

void ThumbnailPaneWnd::mouseReleaseEvent(QMouseEvent* event) {
  const Press press = press_;
  press_ = {};
  if (!press.tile) return;
  if (press.zone == ThumbnailItemWnd::Zone::PageCounter) {
    const int step = press.tile->pageCounter().Release();
    invalidateTile(*press.tile);
    if (step != PageNumberWnd::kNone) OnPageStep(press.tile->GetIndex(), step);
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  if (!press.modifiers)
    SelectOnly(press.tile->GetIndex());
  else if (press.tile->SetSelected(!press.selectedBefore))
    invalidateTile(*press.tile);
  emit selectionChanged();
}

void ThumbnailPaneWnd::mouseDoubleClickEvent(QMouseEvent* event) {
  ThumbnailItemWnd::Zone zone;
  ThumbnailItemWnd* tile = TileAt(event->position().toPoint(), &zone);
  if (tile && event->button() == Qt::LeftButton && zone == ThumbnailItemWnd::Zone::Picture)
    emit openRequested(tile->GetIndex());
  else
    mousePressEvent(event);
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
    // Choosing a page from the list comes with the page dialog's hand-over.
    return;
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
  QRect r = caption.rect().translated(-s.x, -s.y);
  r.setRight(std::min(r.right() + 20, viewport()->width() - 1));
  edit->setFont(caption.Font(*fonts_));
  edit->setGeometry(r);
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
  const std::string title = trimSpaces(titleEdit_->text().toStdString());
  const bool unchanged = title == titleEdit_->startingText().toStdString();
  ThumbnailItemWnd* tile = titleEditTile_;
  const int which = titleEditWhich_;
  closeTitleEdit();
  setFocus(Qt::OtherFocusReason);
  focused_ = tile;
  if (cancelled || unchanged || !source_) return;
  if (which == kUpperCaption)
    endTitleEditOnStack(*tile, title);
  else
    endTitleEditOnDocument(*tile, title);
}

void ThumbnailPaneWnd::titleEditFailed(int tileIndex, int which, const std::string& message, bool reopen) {
  platform::messageBox(message, platform::Buttons::Ok, platform::Icon::Warning, kRenameCaption);
  if (reopen) BeginTitleEdit(tileIndex, which);
}

void ThumbnailPaneWnd::endTitleEditOnStack(ThumbnailItemWnd& tile, const std::string& title) {
  const int index = tile.GetIndex();
  StackInfo stack;
  ItemInfo item;
  if (!source_->ReadRecords(index, stack, item)) return;
  const int invalid = FindInvalidTitleChar(title);
  if (invalid != 0) {
    const std::string message = invalid == -1   ? "タイトルを入力して下さい。"
                                : invalid == -2 ? "タイトルが長すぎます。"
                                                : forbiddenCharacterMessage();
    titleEditFailed(index, kUpperCaption, message, true);
    return;
  }
  int found = 0;
  int stackNo = 0;
  const int code = source_->FindStack(index, title, found, stackNo);
  source_->ReportDbError(code);
  if (code != 0) return;
  if (found && stackNo != stack.StackNo) {
    titleEditFailed(index, kUpperCaption, duplicateTitleMessage(title), true);
    return;
  }
  stack.Title = title;
  stack.LastModifiedDate = stack.LastAccessedDate = platform::todayYmd();
  const int written = source_->SetStackInfo(
      index, stack, fieldmask::kStackTitle | fieldmask::kStackLastModifiedDate | fieldmask::kStackLastAccessedDate);
  source_->ReportDbError(written);
  if (written != 0) return;
  if (DisplayEntry* entry = source_->Entry(index)) entry->title = title;
  const QRect before = tile.Bounds();
  tile.upperCaption().SetCaptionText(QString::fromStdString(title), false, *fonts_);
  const board::Point s = scrollPosition();
  viewport()->update((before | tile.Bounds()).translated(-s.x, -s.y));
}

void ThumbnailPaneWnd::endTitleEditOnDocument(ThumbnailItemWnd& tile, const std::string& title) {
  const int index = tile.GetIndex();
  StackInfo stack;
  ItemInfo item;
  if (!source_->ReadRecords(index, stack, item)) return;
  const std::string folder = source_->EntryFolder(index);
  const int check = CheckTitle(title, item.Ext, folder);
  if (check != 0) {
    std::string message;
    switch (check) {
      case -1: message = "タイトルを入力してください。"; break;
      case -2:
      case -5: message = "タイトルが長すぎます。"; break;
      case -3: message = "タイトルには、ファイル形式に対応した拡張子も指定してください。"; break;
      case -4: message = "タイトルの拡張子が長すぎます。"; break;
      default: message = forbiddenCharacterMessage(); break;
    }
    titleEditFailed(index, kLowerCaption, message, true);
    return;
  }
  int found = 0;
  int itemNo = 0;
  const int code = source_->FindItem(index, title, item.Ext, found, itemNo);
  source_->ReportDbError(code);
  if (code != 0) return;
  const std::string newName = fileName(title, item.Ext);
  if (found && itemNo != item.ItemNo) {
    titleEditFailed(index, kLowerCaption, duplicateTitleMessage(newName), true);
    return;
  }
  // The files first, both or neither; the catalogue only once they bear
  // their new names.
  switch (RenameDocumentFiles(folder, fileName(item.Title, item.Ext), newName, item.TextExt)) {
    case DocumentRename::Done: break;
    case DocumentRename::ReadOnly:
      titleEditFailed(index, kLowerCaption, "このファイルは書き込み禁止です。", false);
      return;
    case DocumentRename::NameTaken:
      titleEditFailed(index, kLowerCaption, duplicateTitleMessage(newName), true);
      return;
    case DocumentRename::TextNameTaken:
      titleEditFailed(index, kLowerCaption, duplicateTitleMessage(newName + "." + item.TextExt), true);
      return;
    case DocumentRename::Failed:
      titleEditFailed(index, kLowerCaption, "ファイル「" + newName + "」に名前を変更できませんでした。", false);
      return;
    case DocumentRename::TextFailed:
      titleEditFailed(index, kLowerCaption, "アタッチテキストの名前の変更に失敗しました。", false);
      return;
  }
  const int today = platform::todayYmd();
  if (tile.isStack()) {
    stack.LastModifiedDate = stack.LastAccessedDate = today;
    source_->ReportDbError(source_->SetStackInfo(
        index, stack, fieldmask::kStackLastModifiedDate | fieldmask::kStackLastAccessedDate));
  }
  const std::string oldName = fileName(item.Title, item.Ext);
  item.Title = title;
  item.LastModifiedDate = item.LastAccessedDate = today;
  const int written = source_->SetItemInfo(
      index, item, fieldmask::kItemTitle | fieldmask::kItemLastModifiedDate | fieldmask::kItemLastAccessedDate);
  source_->ReportDbError(written);
  if (written != 0) {
    // The catalogue still names the old file: give it back its name.
    RenameDocumentFiles(folder, newName, oldName, item.TextExt);
    return;
  }
  if (DisplayEntry* entry = source_->Entry(index); entry && !entry->isStack()) entry->title = newName;
  const QRect before = tile.Bounds();
  tile.lowerCaption().SetCaptionText(documentTitle(item), false, *fonts_);
  const board::Point s = scrollPosition();
  viewport()->update((before | tile.Bounds()).translated(-s.x, -s.y));
}
