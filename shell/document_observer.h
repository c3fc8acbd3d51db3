#pragma once
// How the views learn what changed in the document. Every window that shows
// the document (the browser view with its board and list, the viewer, the
// main frame for its keyboard shortcuts) registers a DocumentObserver with
// CFD3Doc::AddObserver. The document calls its observers, in the order they
// registered, after each change, with flags that say what changed; it never
// includes a view header and never asks a view what to do.
//
//   EntriesCleared(changes)         the entry list was just emptied because it
//                                   is rebuilt; drop every tile or row
//   EntryAdded(index, stack, item)  entry index was appended; stack and item
//                                   are the records the document just read for
//                                   it (stack null for a single item, item the
//                                   item or the stack's current page, either
//                                   may be null), so nothing is read twice
//   EntryRemoved(index)             entry index is gone; later entries moved
//                                   down by one
//   EntryChanged(index, changes)    one entry changed in place: Entries (its
//                                   records changed: rebuild it from the
//                                   catalogue), Positions, Selection (it is now
//                                   the only selected entry: show it)
//   DocumentChanged(changes)        the end of a rebuild, or a change of the
//                                   whole document
//
// A load is bracketed: EntriesCleared, EntryAdded for each entry in order,
// then exactly one DocumentChanged carrying the same flags (plus what the
// load found on its way, such as CatalogueReopened). A view lays itself out
// at DocumentChanged, not per entry. Every callback runs on the GUI thread,
// inside the document's operation: an observer reads the document but does
// not start another load from a callback.

#include <QFlags>

enum class DocumentChange : unsigned {
  // Entries were added, removed, replaced or rebuilt.
  Entries = 1u << 0,
  // Entries moved on the board (their stored positions changed).
  Positions = 1u << 1,
  // Another entry is selected.
  Selection = 1u << 2,
  // The entries belong to another folder now, or to none (the entry list's
  // folder path is then empty).
  Folder = 1u << 3,
  // The folder's catalogue was closed and opened again; after an open of
  // another folder its entry numbers are new (compaction renumbers them).
  CatalogueReopened = 1u << 4,
  // An in-place editor (folder name, tile title, list row) opened or closed:
  // the keyboard shortcuts in force change (CFD3Doc::GetDefaultAccelerator).
  Editing = 1u << 5,
  // With Entries at the end of a load: a newly chosen folder, whose views
  // start again at the top (scroll position reset) rather than keep theirs.
  ScrollReset = 1u << 6,
};
Q_DECLARE_FLAGS(DocumentChanges, DocumentChange)
Q_DECLARE_OPERATORS_FOR_FLAGS(DocumentChanges)

struct ItemInfo;
struct StackInfo;

class DocumentObserver {
 public:
  virtual ~DocumentObserver() = default;

  virtual void EntriesCleared(DocumentChanges /*changes*/) {}
  virtual void EntryAdded(int /*index*/, const StackInfo* /*stack*/, const ItemInfo* /*item*/) {}
  virtual void EntryRemoved(int /*index*/) {}
  virtual void EntryChanged(int /*index*/, DocumentChanges /*changes*/) {}
  virtual void DocumentChanged(DocumentChanges /*changes*/) {}
};
