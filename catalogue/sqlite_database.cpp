#include "catalogue/sqlite_database.h"

#include "platform/sjis_codec.h"

#include <sqlite3.h>

#include <sys/stat.h>
#include <unistd.h>

#include <new>

DbException::DbException(int engineCode, std::string description)
    : std::runtime_error(description), engineCode_(engineCode), description_(std::move(description)) {}

namespace {

[[noreturn]] void raiseCode(sqlite3* db, int rc) {
  if ((rc & 0xFF) == SQLITE_NOMEM) throw std::bad_alloc();
  const int code = db ? sqlite3_extended_errcode(db) : rc;
  std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  throw DbException(code != SQLITE_OK ? code : rc, std::move(text));
}

void check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK) raiseCode(db, rc);
}

sqlite3* openFile(const std::string& path, int flags) {
  // A catalogue is found by where it lies; a FIFO or a device in its place
  // would hold the engine's first read for ever.
  struct stat st {};
  if (path != ":memory:" && ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    throw DbException(SQLITE_CANTOPEN, "not a regular file: " + path);
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    try {
      raiseCode(db, rc);
    } catch (...) {
      sqlite3_close(db);
      throw;
    }
  }
  sqlite3_extended_result_codes(db, 1);
  return db;
}

}  // namespace

// ---- SqliteDatabase -------------------------------------------------------

SqliteDatabase::~SqliteDatabase() { close(); }

void SqliteDatabase::openExclusive(const std::string& path, bool readOnly) {
  close();
  // A file the process may not write is opened read-only by the engine
  // anyway; asking for it up front keeps the error message honest.
  const bool writable = ::access(path.c_str(), W_OK) == 0;
  const int flags = (writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
  db_ = openFile(path, flags);
  readOnly_ = readOnly;
  try {
    // Exclusive locking mode keeps every lock the connection takes until it
    // closes: an exclusive lock when the file is writable, so that no other
    // connection can even read it, else at least the shared lock that keeps
    // writers out. Reading the schema also tells a non-database file.
    executeScript("PRAGMA locking_mode = EXCLUSIVE;");
    executeScript(writable ? "BEGIN EXCLUSIVE;" : "BEGIN;");
    {
      Statement probe(*this, "SELECT count(*) FROM sqlite_master");
      probe.step();
    }
    executeScript("COMMIT;");
    if (readOnly) executeScript("PRAGMA query_only = ON;");
  } catch (...) {
    close();
    throw;
  }
}

void SqliteDatabase::openShared(const std::string& path) {
  close();
  db_ = openFile(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
  readOnly_ = false;
}

void SqliteDatabase::close() {
  if (!db_) return;
  // Every Statement is scoped, so nothing is left unfinalized; close_v2
  // would defer the close (and keep the file locked) if something were.
  sqlite3_close_v2(db_);
  db_ = nullptr;
  readOnly_ = false;
}

bool SqliteDatabase::canUpdate() const {
  return db_ && !readOnly_ && sqlite3_db_readonly(db_, "main") == 0;
}

void SqliteDatabase::executeScript(const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  sqlite3_free(error);
  check(db_, rc);
}

void SqliteDatabase::raise(int rc) const { raiseCode(db_, rc); }

// ---- Statement ------------------------------------------------------------

Statement::Statement(SqliteDatabase& db, std::string_view sql) : db_(db) {
  if (!db.isOpen()) throw DbException(SQLITE_MISUSE, "database not open");
  const int rc = sqlite3_prepare_v2(db.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_,
                                    nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    db.raise(rc);
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::bind(int index, int value) { check(db_.handle(), sqlite3_bind_int(stmt_, index, value)); }
void Statement::bind(int index, std::int64_t value) {
  check(db_.handle(), sqlite3_bind_int64(stmt_, index, value));
}
void Statement::bind(int index, bool value) { bind(index, value ? 1 : 0); }
void Statement::bind(int index, double value) {
  check(db_.handle(), sqlite3_bind_double(stmt_, index, value));
}
void Statement::bind(int index, std::string_view value) {
  check(db_.handle(), sqlite3_bind_text64(stmt_, index, value.data(), value.size(),
                                          SQLITE_TRANSIENT, SQLITE_UTF8));
}
void Statement::bind(int index, const QDateTime& value) {
  if (value.isNull()) return bind(index, nullptr);
  bind(index, formatDbDateTime(value));
}
void Statement::bind(int index, const DbBytes& value) {
  // A zero-length blob must stay a blob, not turn into NULL.
  static const std::uint8_t kEmpty = 0;
  check(db_.handle(), sqlite3_bind_blob64(stmt_, index, value.empty() ? &kEmpty : value.data(),
                                          value.size(), SQLITE_TRANSIENT));
}
void Statement::bind(int index, std::nullptr_t) { check(db_.handle(), sqlite3_bind_null(stmt_, index)); }

bool Statement::step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  db_.raise(rc);
}

void Statement::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int Statement::run() {
  while (step()) {
  }
  return sqlite3_changes(db_.handle());
}

int Statement::columnCount() const { return sqlite3_column_count(stmt_); }

static std::string orEmpty(const char* text) { return text ? std::string(text) : std::string(); }

std::string Statement::columnName(int column) const { return orEmpty(sqlite3_column_name(stmt_, column)); }
std::string Statement::columnTable(int column) const {
  return orEmpty(sqlite3_column_table_name(stmt_, column));
}
std::string Statement::columnOrigin(int column) const {
  return orEmpty(sqlite3_column_origin_name(stmt_, column));
}

int Statement::findColumn(std::string_view field) const {
  const int count = columnCount();
  for (int c = 0; c < count; ++c)
    if (platform::asciiEqualsIgnoreCase(columnName(c), field)) return c;
  const auto dot = field.find('.');
  if (dot == std::string_view::npos) return -1;
  const std::string_view table = field.substr(0, dot);
  const std::string_view origin = field.substr(dot + 1);
  for (int c = 0; c < count; ++c)
    if (platform::asciiEqualsIgnoreCase(columnTable(c), table) &&
        platform::asciiEqualsIgnoreCase(columnOrigin(c), origin))
      return c;
  return -1;
}

bool Statement::isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
std::int64_t Statement::int64At(int column) const { return sqlite3_column_int64(stmt_, column); }
int Statement::intAt(int column) const { return sqlite3_column_int(stmt_, column); }
bool Statement::boolAt(int column) const { return sqlite3_column_int64(stmt_, column) != 0; }

std::string Statement::textAt(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  if (!text) {
    if (sqlite3_errcode(db_.handle()) == SQLITE_NOMEM) throw std::bad_alloc();
    return {};
  }
  return std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

QDateTime Statement::dateTimeAt(int column) const {
  if (isNull(column)) return {};
  return parseDbDateTime(textAt(column));
}

DbBytes Statement::bytesAt(int column) const {
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  if (!data || size <= 0) return {};
  return DbBytes(data, data + size);
}

// ---- Transaction ----------------------------------------------------------

namespace {
// One name serves every level: ROLLBACK TO and RELEASE act on the most
// recent savepoint of that name, which is always the innermost one.
constexpr const char* kSavepoint = "brindel_nested";
}  // namespace

bool SqliteDatabase::inTransaction() const { return db_ && sqlite3_get_autocommit(db_) == 0; }

Transaction::Transaction(SqliteDatabase& db) : db_(db) {
  if (db_.transactions_ > 0 && !db_.inTransaction())
    throw DbException(SQLITE_ABORT, "the enclosing transaction has been rolled back");
  nested_ = db_.inTransaction();
  db_.executeScript(nested_ ? std::string("SAVEPOINT ") + kSavepoint + ";" : std::string("BEGIN;"));
  ++db_.transactions_;
}

Transaction::~Transaction() {
  if (!active_) return;
  // Never throws from a destructor: a failed rollback leaves SQLite to roll
  // back itself when the connection closes.
  const std::string undo = nested_ ? std::string("ROLLBACK TO ") + kSavepoint + "; RELEASE " + kSavepoint + ";"
                                   : std::string("ROLLBACK;");
  if (db_.inTransaction()) sqlite3_exec(db_.handle(), undo.c_str(), nullptr, nullptr, nullptr);
  end();
}

void Transaction::end() {
  active_ = false;
  --db_.transactions_;
}

void Transaction::commit() {
  if (nested_ && !db_.inTransaction()) {
    end();
    throw DbException(SQLITE_ABORT, "the enclosing transaction has been rolled back");
  }
  db_.executeScript(nested_ ? std::string("RELEASE ") + kSavepoint + ";" : std::string("COMMIT;"));
  end();
}

void Transaction::rollback() {
  end();
  if (nested_) {
    if (db_.inTransaction())
      db_.executeScript(std::string("ROLLBACK TO ") + kSavepoint + "; RELEASE " + kSavepoint + ";");
    return;
  }
  db_.executeScript("ROLLBACK;");
}

// ---- dates ----------------------------------------------------------------

static constexpr const char* kDateTimeFormat = "yyyy-MM-dd HH:mm:ss";

std::string formatDbDateTime(const QDateTime& value) {
  return value.toLocalTime().toString(kDateTimeFormat).toStdString();
}

QDateTime parseDbDateTime(std::string_view text) {
  QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  QDateTime value = QDateTime::fromString(s, kDateTimeFormat);
  if (!value.isValid()) value = QDateTime::fromString(s, Qt::ISODate);
  return value;
}
