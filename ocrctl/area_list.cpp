#include "ocrctl/area_list.h"

#include "layout/vulay30.h"

namespace ocrctl {

namespace {

void unlink(userfld* f) {
  f->prev->next = f->next;
  f->next->prev = f->prev;
  f->prev = f->next = nullptr;
}

void linkAfter(userfld* where, userfld* f) {
  f->prev = where;
  f->next = where->next;
  where->next->prev = f;
  where->next = f;
}

}  // namespace

AreaList::~AreaList() { freeOwn(); }

void AreaList::freeOwn() {
  if (head_ != nullptr) free_userfld_all(&head_);
  head_ = nullptr;
  active_ = -1;
}

int AreaList::count() const {
  if (head_ == nullptr) return 0;
  int n = 0;
  for (userfld* f = head_->next; f != head_; f = f->next) ++n;
  return n;
}

userfld* AreaList::at(int index) const {
  if (head_ == nullptr || index < 0) return nullptr;
  int i = 0;
  for (userfld* f = head_->next; f != head_; f = f->next, ++i)
    if (i == index) return f;
  return nullptr;
}

QRect AreaList::rectOf(const userfld& a) { return QRect(QPoint(a.left, a.top), QPoint(a.right, a.bottom)); }

short AreaList::add(int left, int top, int right, int bottom, const ParamBlock& defaults) {
  if (right < left + kMinAreaSide || bottom < top + kMinAreaSide) return code::kAreaTooSmall;
  userfld* f = create_userfld(&head_);
  if (f == nullptr) return code::kAreaNoMemory;
  f->left = static_cast<std::int16_t>(left);
  f->top = static_cast<std::int16_t>(top);
  f->right = static_cast<std::int16_t>(right);
  f->bottom = static_cast<std::int16_t>(bottom);
  f->origin = 0;
  f->params = defaults;
  const int n = count();
  f->number = static_cast<std::int16_t>(n);
  active_ = n - 1;
  return static_cast<short>(n);
}

int AreaList::twinNumber(int index) const {
  userfld* area = at(index);
  if (area == nullptr || area->origin != 1) return 0;
  int n = 0;
  for (userfld* f = head_->next; f != head_; f = f->next) {
    if (f->origin == 1) ++n;
    if (f == area) break;
  }
  return n;
}

bool AreaList::dropTwin(userfld* area) {
  if (area->origin != 1) return true;
  int n = 0;
  for (userfld* f = head_->next; f != head_; f = f->next) {
    if (f->origin == 1) ++n;
    if (f == area) break;
  }
  if (DeleteFld(static_cast<std::uint16_t>(n), area->params.byte(ParamBlock::kForm)) == 0) return false;
  area->origin = 0;
  return true;
}

bool AreaList::remove(int index) {
  userfld* area = at(index);
  if (area == nullptr || !dropTwin(area)) return false;
  userfld* activeRecord = activeArea();
  unlink(area);
  free_userfld(area);
  if (count() == 0) {
    // The ring and the library's list go together.
    free_Sfld_all(&head_);
    head_ = nullptr;
    active_ = -1;
    return true;
  }
  if (activeRecord == area) {
    active_ = 0;
  } else if (index < active_) {
    --active_;
  }
  return true;
}

bool AreaList::setRect(int index, const QRect& rect) {
  userfld* area = at(index);
  if (area == nullptr || !dropTwin(area)) return false;
  area->left = static_cast<std::int16_t>(rect.left());
  area->top = static_cast<std::int16_t>(rect.top());
  area->right = static_cast<std::int16_t>(rect.right());
  area->bottom = static_cast<std::int16_t>(rect.bottom());
  return true;
}

bool AreaList::clear() {
  if (count() == 0) return false;
  free_Sfld_all(&head_);
  head_ = nullptr;
  active_ = -1;
  return true;
}

bool AreaList::renumber(int from, int k) {
  userfld* moved = at(from);
  if (moved == nullptr || isFigure(*moved) || k < 1) return false;
  // Places count the areas that are not figures; the target is the area at
  // place k before the move.
  userfld* target = nullptr;
  int oldPlace = 0;
  int place = 0;
  for (userfld* f = head_->next; f != head_; f = f->next) {
    if (isFigure(*f)) continue;
    ++place;
    if (f == moved) oldPlace = place;
    if (place == k) target = f;
  }
  if (target == nullptr) return false;
  if (target == moved) return true;
  userfld* activeRecord = activeArea();
  const int oldTwin = twinNumber(from);
  userfld* before = moved->prev;
  unlink(moved);
  linkAfter(k >= oldPlace ? target : target->prev, moved);
  // Sfld keeps the order of the copies: the moved copy's field goes next to
  // the field of the copy it now follows or precedes in that order, also
  // when the area it was put beside is the control's own.
  if (oldTwin != 0) {
    int newTwin = 0;
    for (userfld* f = head_->next; f != head_; f = f->next) {
      if (f->origin == 1) ++newTwin;
      if (f == moved) break;
    }
    if (newTwin != oldTwin && ExchangeFld(static_cast<short>(newTwin), static_cast<std::uint16_t>(oldTwin)) == 0) {
      unlink(moved);
      linkAfter(before, moved);
      return false;
    }
  }
  active_ = -1;
  if (activeRecord != nullptr) {
    int i = 0;
    for (userfld* f = head_->next; f != head_; f = f->next, ++i)
      if (f == activeRecord) active_ = i;
  }
  return true;
}

}  // namespace ocrctl
