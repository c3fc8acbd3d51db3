#pragma once
// The control's recognition areas: its own ring of userfld records, in
// area-number order (area k is the k-th record after the sentinel), and
// which one is active.
//
// After a layout the ring holds copies of the library's result fields
// (origin 1).  Each copy owns its records outright: removing or editing an
// area frees only the copy, and the field it stands for in the library's
// list (its twin) is removed through DeleteFld.  The twin is named by its
// place among the origin-1 areas counted over all kinds in one sequence,
// the same sequence in which the library numbers its fields; every change
// of order here is passed on through ExchangeFld, so the two orders never
// part and that place stays the twin's field number.
//
// No Qt Widgets here: the view (area_view.h) and the dispatch methods both
// work through this list.
#include "layout/records.h"

#include <QRect>

namespace ocrctl {

namespace code {
inline constexpr short kAreaTooSmall = -1202;
inline constexpr short kAreaNoMemory = -1203;
inline constexpr short kNoSuchArea = -1204;
}  // namespace code

// Smallest side of an area, image pixels.
inline constexpr int kMinAreaSide = 20;

class AreaList {
 public:
  AreaList() = default;
  ~AreaList();
  AreaList(const AreaList&) = delete;
  AreaList& operator=(const AreaList&) = delete;

  // The ring as the library's GetLayout and GetRecg take it.
  userfld** ring() { return &head_; }
  int count() const;
  // Index from 0 of the active area; -1 when none.
  int active() const { return active_; }
  void setActive(int index) { active_ = index >= 0 && index < count() ? index : -1; }
  userfld* at(int index) const;
  userfld* activeArea() const { return at(active_); }
  static QRect rectOf(const userfld& area);
  // Form kind 2 (a figure copied from a layout): no context menu for it.
  static bool isFigure(const userfld& area) { return area.params.byte(ParamBlock::kForm) == 2; }

  // Appends an area made by the host or the mouse with the default
  // parameters (the rectangle as given, not normalised); the new area is
  // active.  Its number from 1, or -1202 / -1203.
  short add(int left, int top, int right, int bottom, const ParamBlock& defaults);
  // Removes area `index` (from 0) and its twin.  When none is left the ring
  // goes and the library's list is emptied with it.  The active area: none
  // when the list is empty, the first when the active one went, else it
  // keeps its record.  False when there is no such area or the library
  // refused to drop the twin (nothing changed then).
  bool remove(int index);
  // Sets the rectangle of area `index`; a copy drops its twin first and
  // becomes the control's own area.
  bool setRect(int index, const QRect& rect);
  // Everything goes, the library's list too.  False when there was no area.
  bool clear();
  // Frees this list's own copies and leaves the library's list alone (it
  // may be another control's result).
  void freeOwn();
  // The ring was replaced by the library (GetLayout, GetRecg): no area is
  // active.
  void ringReplaced() { active_ = -1; }
  // Puts area `from` (from 0) at place `k` (from 1) of the order counted
  // over the areas that are not figures; Sfld follows.  False when a
  // number is out of range or the library refused.
  bool renumber(int from, int k);

  // The field number of an area's twin in the library's list (from 1);
  // 0 when the area has none.
  int twinNumber(int index) const;

 private:
  bool dropTwin(userfld* area);
  userfld* head_ = nullptr;
  int active_ = -1;
};

}  // namespace ocrctl
