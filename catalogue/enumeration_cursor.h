#pragma once
// The one shape of the catalogue's First/Next/Post enumerations.
//
//   EnumerationCursor<Reader>   an owned reader that a first-operation opens
//                               afresh every time, a next-operation reads row
//                               by row and a post-operation closes
//   EnumerationTexts            the codes and messages of one enumeration's
//                               three operations
//
// Opening afresh on every first-operation is the point: several
// first-operations may share one reader (the item enumeration is opened over
// single items, all items or one stack's pages), and a restart that only
// rewound would hand out the rows of whichever statement ran last.
//
// The cursor knows nothing of result codes; FolderConnection's first, next
// and post wrap it with the guards and the messages of each enumeration.

#include "catalogue/sqlite_database.h"

template <typename Reader>
class EnumerationCursor {
 public:
  explicit EnumerationCursor(SqliteDatabase& db) : reader_(db) {}

  // Closes whatever ran and opens again: open(reader) runs the statement.
  template <typename Open>
  void start(Open&& open) {
    reader_.close();
    open(reader_);
  }
  bool running() const { return reader_.isOpen(); }
  bool atEnd() const { return reader_.isEOF(); }
  // The current row's reader; a row is current while running() && !atEnd().
  const Reader& reader() const { return reader_; }
  const auto& row() const { return reader_.current(); }
  void advance() { reader_.moveNext(); }
  void stop() { reader_.close(); }

 private:
  Reader reader_;
};

struct EnumerationTexts {
  const char* firstNotOpen;  // 40 when no catalogue is open
  const char* firstEngine;   // 120
  const char* firstMemory;   // 100
  int nextNotRunningCode;    // no catalogue or no running enumeration
  const char* nextNotRunning;
  const char* nextEngine;
  const char* nextMemory;
  int postNotRunningCode;
  const char* postNotRunning;
  // false: a post without a running enumeration is fine (only a closed
  // catalogue is refused).
  bool postNeedsRunning = true;
};
