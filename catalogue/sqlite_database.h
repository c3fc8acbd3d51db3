#pragma once
// A thin RAII layer over SQLite's C API for the catalogue databases.
//
//   DbException    an engine failure (thrown inside the catalogue only: every
//                  public catalogue operation catches it and returns a code)
//   SqliteDatabase one connection; exclusive open of an existing file
//   Statement      one prepared statement with bound values
//   Transaction    BEGIN on construction, ROLLBACK unless committed; inside
//                  another transaction of the connection a savepoint, so
//                  that an operation joins its caller's transaction and
//                  still rolls back alone
//
// Values always travel as bound parameters ("?"), never as SQL text. Out of
// memory inside the engine is thrown as std::bad_alloc, so callers tell the
// two failure kinds apart the way the catalogue's result codes do.
// Date/Time columns hold local times as text "YYYY-MM-DD HH:MM:SS"; a null
// QDateTime is SQL NULL.

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

using DbBytes = std::vector<std::uint8_t>;

class DbException : public std::runtime_error {
 public:
  DbException(int engineCode, std::string description);
  // SQLite's extended result code.
  int engineCode() const { return engineCode_; }
  const std::string& description() const { return description_; }
  static constexpr const char* kSource = "SQLite";

 private:
  int engineCode_;
  std::string description_;
};

class SqliteDatabase {
 public:
  SqliteDatabase() = default;
  ~SqliteDatabase();
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  // Opens an existing database file (never creates one) and takes the
  // file's lock for as long as this connection lives, so no other connection
  // of this or another process can open it. readOnly refuses every change;
  // the lock is still exclusive when the file itself is writable. Throws
  // DbException when the file is missing, is no database, or is in use.
  void openExclusive(const std::string& path, bool readOnly);
  // Opens a database file shared with other connections (the search
  // database); creates nothing.
  void openShared(const std::string& path);
  void close();

  bool isOpen() const { return db_ != nullptr; }
  // False for a read-only open or a file the process cannot write.
  bool canUpdate() const;
  sqlite3* handle() const { return db_; }

  // Runs one statement with bound values; returns the number of rows changed.
  template <typename... Args>
  int execute(std::string_view sql, const Args&... args);
  // Runs a script of statements without values (schema work of tests and tools).
  void executeScript(const std::string& sql);

  // Throws the engine's error for the result code rc of a call on this
  // connection (std::bad_alloc for SQLITE_NOMEM).
  [[noreturn]] void raise(int rc) const;

  // True while a transaction (BEGIN without its COMMIT or ROLLBACK) is open.
  bool inTransaction() const;

 private:
  friend class Transaction;
  sqlite3* db_ = nullptr;
  bool readOnly_ = false;
  // Transaction objects alive on this connection.
  int transactions_ = 0;
};

class Statement {
 public:
  Statement(SqliteDatabase& db, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Parameters count from 1, as in SQLite.
  void bind(int index, int value);
  void bind(int index, std::int64_t value);
  void bind(int index, bool value);
  void bind(int index, double value);
  void bind(int index, std::string_view value);
  void bind(int index, const char* value) { bind(index, std::string_view(value)); }
  void bind(int index, const std::string& value) { bind(index, std::string_view(value)); }
  void bind(int index, const QDateTime& value);
  void bind(int index, const DbBytes& value);
  void bind(int index, std::nullptr_t);
  template <typename T>
  void bind(int index, const std::optional<T>& value) {
    if (value) bind(index, *value);
    else bind(index, nullptr);
  }
  template <typename... Args>
  void bindAll(const Args&... args) {
    int index = 0;
    (bind(++index, args), ...);
  }

  // Steps once: true when a row is current, false when done.
  bool step();
  void reset();
  // Steps to the end; returns the rows changed.
  int run();

  int columnCount() const;
  std::string columnName(int column) const;
  // The table and column a result column comes from (empty for expressions).
  std::string columnTable(int column) const;
  std::string columnOrigin(int column) const;
  // The result column that delivers a field: a column of exactly that name,
  // else for "Table.Column" the column taken from that table; -1 for none.
  int findColumn(std::string_view field) const;

  bool isNull(int column) const;
  std::int64_t int64At(int column) const;
  int intAt(int column) const;
  bool boolAt(int column) const;
  std::string textAt(int column) const;
  QDateTime dateTimeAt(int column) const;
  DbBytes bytesAt(int column) const;

 private:
  SqliteDatabase& db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN at construction; commit() makes the changes; a transaction that is
// destroyed uncommitted (an exception unwinding, an early return) rolls back.
// Opened while the connection is inside a transaction already, it is a
// savepoint of that transaction: commit() keeps its changes for the outer
// commit, a rollback undoes its own changes only. Transactions end in the
// reverse order of their start.
//
// When the engine has rolled back the outer transaction on its own (a full
// disk, an I/O error), a nested transaction refuses to start and a nested
// commit throws, so that no change lands outside the batch it was meant for.
class Transaction {
 public:
  explicit Transaction(SqliteDatabase& db);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit();
  void rollback();
  bool nested() const { return nested_; }

 private:
  void end();
  SqliteDatabase& db_;
  bool nested_ = false;
  bool active_ = true;
};

// Date/Time values as the catalogue stores them.
std::string formatDbDateTime(const QDateTime& value);
QDateTime parseDbDateTime(std::string_view text);

template <typename... Args>
int SqliteDatabase::execute(std::string_view sql, const Args&... args) {
  Statement statement(*this, sql);
  statement.bindAll(args...);
  return statement.run();
}
