// The cross-folder search: the folder walk, the per-folder evaluation in
// SQL, the narrowing of a result, the hit walk and the per-folder accessors.

#include "catalogue/search_database.h"

#include "catalogue/catalogue_text.h"
#include "catalogue/file_utilities.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/program_folder.h"

#include <sqlite3.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

namespace {

constexpr std::array<const char*, 5> kFolderTables = {"ItemMST", "StackMST", "CreatorMST",
                                                     "CommentMST", "KeywordMST"};

// The columns of a folder's tables that the search reads.
struct FolderColumns {
  const char* name;
  std::vector<const char*> columns;
};
const std::array<FolderColumns, 5> kFolderColumns = {{
    {"ItemMST",
     {"ItemNo", "ItemTitle", "ItemExt", "ImageLevel", "OLELevel", "FullTextLevel", "TextExt", "OfficialDate",
      "LastModifiedDate", "LastAccessedDate", "StackNo", "PageNo", "SingleItemPosX", "SingleItemPosY"}},
    {"StackMST",
     {"StackNo", "StackTitle", "OfficialDate", "LastModifiedDate", "LastAccessedDate", "CurPageNo", "StackPosX",
      "StackPosY"}},
    {"CreatorMST", {"ItemNo", "Creator"}},
    {"CommentMST", {"ItemNo", "Comment"}},
    {"KeywordMST", {"ItemNo", "Keyword"}},
}};

// A file: URI for ATTACH, so that the catalogue is opened read-only.
std::string readOnlyUri(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file:";
  for (const unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0xF];
    }
  }
  return uri + "?mode=ro";
}

std::string escapeLike(std::string_view word) {
  std::string out;
  for (const char c : word) {
    if (c == '%' || c == '_' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string normalisedPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::weakly_canonical(path, ec);
  std::string s = ec ? path : p.string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// The folder holds at least one file that is not one of the catalogue's own.
bool holdsDocuments(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    struct stat st {};
    if (::stat((folder + "/" + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (!IsDatabaseFileName(name)) {
      found = true;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

std::string intList(const std::vector<int>& numbers) {
  std::string out;
  for (const int n : numbers) {
    if (!out.empty()) out += ',';
    out += std::to_string(n);
  }
  return out;
}

struct RawStatement {
  sqlite3_stmt* stmt = nullptr;
  RawStatement(sqlite3* db, const std::string& sql, SqliteDatabase& owner) {
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
    if (rc != SQLITE_OK) owner.raise(rc);
  }
  ~RawStatement() { sqlite3_finalize(stmt); }
  RawStatement(const RawStatement&) = delete;
  RawStatement& operator=(const RawStatement&) = delete;
};

}  // namespace

// The five tables of one folder's catalogue, visible under their own names
// for as long as the object lives: attached read-only, or, for the folder
// the browser holds open, copied through the browser's connection into
// temporary tables.
class SearchDatabase::FolderTables {
 public:
  FolderTables(SqliteDatabase& work, FolderDatabase* document, const std::string& folder)
      : work_(work) {
    try {
      if (document != nullptr) CopyFrom(document->Engine());
      else Attach(folder);
    } catch (...) {
      Release();
      throw;
    }
  }
  ~FolderTables() { Release(); }
  FolderTables(const FolderTables&) = delete;
  FolderTables& operator=(const FolderTables&) = delete;

 private:
  void Attach(const std::string& folder) {
    // A FIFO or a device in the catalogue's place would hold the search.
    if (!platform::isRegularFile(FolderDatabase::CataloguePath(folder)))
      throw DbException(SQLITE_CANTOPEN, "not a regular file: " + FolderDatabase::CataloguePath(folder));
    Statement attach(work_, "ATTACH DATABASE ? AS src");
    attach.bind(1, readOnlyUri(FolderDatabase::CataloguePath(folder)));
    attach.run();
    attached_ = true;
    Statement probe(work_,
                    "SELECT count(*) FROM src.sqlite_master WHERE type = 'table' AND name IN "
                    "('ItemMST','StackMST','CreatorMST','CommentMST','KeywordMST')");
    probe.step();
    if (probe.intAt(0) != static_cast<int>(kFolderTables.size()))
      throw DbException(SQLITE_CORRUPT, "the catalogue lacks its tables: " + folder);
  }
  void Release() noexcept {
    try {
      if (attached_) work_.executeScript("DETACH DATABASE src;");
      attached_ = false;
      for (const std::string& t : copied_) work_.executeScript("DROP TABLE IF EXISTS temp." + t + ";");
      copied_.clear();
    } catch (...) {
      // A table left behind is dropped by the next Open.
    }
  }
  // Only the columns the search reads are copied, each named by the
  // program: a catalogue brought from elsewhere may carry columns of any
  // name, and none of them reaches a statement.
  void CopyFrom(SqliteDatabase& source) {
    for (const FolderColumns& table : kFolderColumns) {
      std::string columns;
      for (const char* column : table.columns) {
        if (!columns.empty()) columns += ',';
        columns += '"' + std::string(column) + '"';
      }
      std::string marks;
      for (std::size_t c = 0; c < table.columns.size(); ++c) marks += c ? ",?" : "?";
      const std::string name = '"' + std::string(table.name) + '"';
      RawStatement select(source.handle(), "SELECT " + columns + " FROM main." + name, source);
      Statement(work_, "CREATE TEMP TABLE " + name + "(" + columns + ")").run();
      copied_.emplace_back(table.name);
      Statement(work_, "CREATE INDEX temp.\"" + std::string(table.name) + "_key\" ON " + name + "(\"" +
                               (std::string(table.name) == "StackMST" ? "StackNo" : "ItemNo") + "\")")
          .run();
      RawStatement put(work_.handle(), "INSERT INTO temp." + name + "(" + columns + ") VALUES(" + marks + ")",
                       work_);
      const int count = static_cast<int>(table.columns.size());
      int rc;
      while ((rc = sqlite3_step(select.stmt)) == SQLITE_ROW) {
        for (int c = 0; c < count; ++c) sqlite3_bind_value(put.stmt, c + 1, sqlite3_column_value(select.stmt, c));
        if (const int prc = sqlite3_step(put.stmt); prc != SQLITE_DONE) work_.raise(prc);
        sqlite3_reset(put.stmt);
      }
      if (rc != SQLITE_DONE) source.raise(rc);
    }
    Statement(work_, "CREATE INDEX temp.\"ItemMST_StackNo\" ON \"ItemMST\"(\"StackNo\")").run();
  }

  SqliteDatabase& work_;
  bool attached_ = false;
  std::vector<std::string> copied_;
};

SearchDatabase::SearchDatabase()
    : collector_(&GlobalSearchFolders()),
      walkFolder_(std::make_unique<FolderDatabase>()),
      accessFolder_(std::make_unique<FolderDatabase>()) {}

SearchDatabase::~SearchDatabase() { Close(); }

template <typename Body>
bool SearchDatabase::Guarded(Body&& body) {
  try {
    return body();
  } catch (const DbException& e) {
    lastError_ = e.description();
  } catch (const std::bad_alloc&) {
    lastError_ = "MemoryException";
  }
  return false;
}

bool SearchDatabase::Open(const std::string& dir, const std::string& textlibFolder) {
  std::string folder = dir;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const bool opened = Guarded([&] {
    db_.openShared(folder + "/" + kFileName);
    Statement probe(db_, "SELECT count(*) FROM sqlite_master");
    probe.step();
    // The hit tables are scratch data that the next search rebuilds: a
    // commit per folder need not wait for the disk.
    db_.executeScript("PRAGMA synchronous = OFF;");
    return true;
  });
  if (!opened) {
    db_.close();
    return false;
  }
  fulltext_.Init(textlibFolder);
  // Tables of an interrupted run would hide the next folder's.
  for (const char* table : kFolderTables)
    Guarded([&] {
      db_.executeScript(std::string("DROP TABLE IF EXISTS temp.") + table + ";");
      return true;
    });
  return true;
}

bool SearchDatabase::OpenWorkCatalogue() {
  const std::string folder = platform::programFolder();
  const std::string target = platform::joinPath(folder, kFileName);
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) {
    const std::string source =
        platform::joinPath(platform::workFolder(platform::workfolder::kDb), kFileName);
    if (const int error = platform::copyFileReplacing(source, target); error != 0) {
      lastError_ = "cannot copy " + source + " to " + target + ": " + std::strerror(error);
      return false;
    }
  }
  return Open(folder, platform::workFolder(platform::workfolder::kTextLib));
}

bool SearchDatabase::Close() {
  PostHit();
  accessFolder_->CloseFolder();
  accessNo_ = 0;
  lastAccessed_ = nullptr;
  db_.close();
  fulltext_.Post();
  return true;
}

SearchDatabase::Condition SearchDatabase::WordCondition(const char* column,
                                                        const std::vector<std::string>& words,
                                                        int mode, bool stored) {
  Condition c;
  for (const std::string& raw : words) {
    const std::string word = stored ? catalogue::toStoredAttribute(raw) : raw;
    if (!c.sql.empty()) c.sql += " OR ";
    switch (mode) {
      case searchmode::kExact:
        c.sql += std::string(column) + " = ? COLLATE NOCASE";
        c.values.emplace_back(word);
        break;
      case searchmode::kPrefix:
        c.sql += std::string(column) + " LIKE ? ESCAPE '\\'";
        c.values.emplace_back(escapeLike(word) + "%");
        break;
      case searchmode::kSuffix:
        c.sql += std::string(column) + " LIKE ? ESCAPE '\\'";
        c.values.emplace_back("%" + escapeLike(word));
        break;
      case searchmode::kContains:
        c.sql += std::string(column) + " LIKE ? ESCAPE '\\'";
        c.values.emplace_back("%" + escapeLike(word) + "%");
        break;
      default:
        c.sql += "0";
        break;
    }
  }
  // No word matches nothing (and keeps the statement whole).
  if (c.sql.empty()) c.sql = "0";
  c.sql = "(" + c.sql + ")";
  return c;
}

bool SearchDatabase::SetWordFilter(unsigned fields, const std::vector<std::string>& words, int mode,
                                   bool negate) {
  fields_ = fields;
  negate_ = negate;
  if (fields & searchfield::kTitle) {
    stackTitle_ = WordCondition("StackTitle", words, mode, false);
    itemTitle_ = WordCondition("ItemTitle", words, mode, false);
  }
  if (fields & searchfield::kCreator) creator_ = WordCondition("Creator", words, mode, true);
  if (fields & searchfield::kKeyword) keyword_ = WordCondition("Keyword", words, mode, true);
  if (fields & searchfield::kComment) comment_ = WordCondition("Comment", words, mode, true);
  if (fields & searchfield::kFullText) {
    if (!fulltext_.RegisterString(words, mode)) {
      lastError_ = fulltext_.LastError();
      return false;
    }
  }
  return true;
}

bool SearchDatabase::SetDateFilter(int kind, int from, int to) {
  dateKind_ = kind;
  const char* column = nullptr;
  switch (kind) {
    case searchdate::kNone: date_ = {}; return true;
    case searchdate::kOfficial: column = "OfficialDate"; break;
    case searchdate::kLastModified: column = "LastModifiedDate"; break;
    case searchdate::kLastAccessed: column = "LastAccessedDate"; break;
    default: return true;
  }
  const std::string c = column;
  date_.sql = "(" + c + " BETWEEN ? AND ? OR StackNo IN (SELECT StackNo FROM StackMST WHERE " + c +
              " BETWEEN ? AND ?))";
  date_.values = {from, to, from, to};
  return true;
}

bool SearchDatabase::SetFileFilter(int kind, const std::vector<std::string>& extensions) {
  if (extensions.size() > searchfile::kMaxExtensions) return false;
  fileKind_ = kind;
  switch (kind) {
    case searchfile::kImages: file_ = {"ImageLevel = 1", {}}; break;
    case searchfile::kNotImages: file_ = {"NOT(ImageLevel = 1)", {}}; break;
    case searchfile::kExtensions: {
      file_ = {"ItemExt COLLATE NOCASE IN(", {}};
      for (std::size_t i = 0; i < extensions.size(); ++i) {
        file_.sql += i ? ",?" : "?";
        file_.values.emplace_back(extensions[i]);
      }
      file_.sql += ")";
      break;
    }
    default: break;
  }
  return true;
}

bool SearchDatabase::SetFulltextParameter(int widthVariants, int caseFolding, int similarity) {
  return fulltext_.SetParameter(0, widthVariants, caseFolding, similarity);
}

void SearchDatabase::Execute(const std::string& sql, const std::vector<Value>& values) {
  Statement s(db_, sql);
  int index = 0;
  for (const Value& v : values) std::visit([&](const auto& x) { s.bind(++index, x); }, v);
  s.run();
}

int SearchDatabase::QueryInt(const std::string& sql, const std::vector<Value>& values) {
  Statement s(db_, sql);
  int index = 0;
  for (const Value& v : values) std::visit([&](const auto& x) { s.bind(++index, x); }, v);
  return s.step() ? s.intAt(0) : 0;
}

bool SearchDatabase::ClearWorkTables() {
  ReleaseFolders();
  bool all = true;
  for (const char* sql : {"DELETE FROM FolderMST", "DELETE FROM HitStack", "DELETE FROM HitItem",
                          "DELETE FROM ItemWork"}) {
    all = Guarded([&] {
      Execute(sql);
      return true;
    }) && all;
  }
  return all;
}

bool SearchDatabase::Pump() {
  if (progress_ != nullptr && progress_->PumpAndCancelled()) cancelled_ = true;
  return cancelled_;
}

std::vector<SearchDatabase::FolderRow> SearchDatabase::ReadFolderRows() {
  std::vector<FolderRow> rows;
  Statement s(db_, "SELECT FolderNo, FolderPath FROM FolderMST ORDER BY FolderNo");
  while (s.step()) rows.push_back({s.intAt(0), s.textAt(1)});
  return rows;
}

FolderDatabase* SearchDatabase::HeldOpen(const std::string& path) const {
  if (IsDocumentFolder(path)) return document_;
  // A catalogue is opened exclusively: one that our own accessors or walk
  // hold is read through their connection, never attached a second time.
  for (FolderDatabase* own : {accessFolder_.get(), walkFolder_.get()})
    if (own->IsOpen() && normalisedPath(own->FolderPath()) == normalisedPath(path)) return own;
  return nullptr;
}

void SearchDatabase::ReleaseFolders() {
  PostHit();
  if (lastAccessed_ == accessFolder_.get()) lastAccessed_ = nullptr;
  accessFolder_->CloseFolder();
  accessNo_ = 0;
}

bool SearchDatabase::IsDocumentFolder(const std::string& path) const {
  return document_ != nullptr && document_->IsOpen() &&
         normalisedPath(document_->FolderPath()) == normalisedPath(path);
}

bool SearchDatabase::Search(const std::string& root, bool withSubfolders) {
  cancelled_ = false;
  skipped_.clear();
  singleHitsByFolder_.clear();
  hitStacks_ = hitItems_ = 0;
  fulltext_.ResetNoTextCount();
  if (!IsOpen()) {
    lastError_ = "infos.mdb is not open";
    return false;
  }
  if (!ClearWorkTables()) return false;
  return Guarded([&] {
    {
      Transaction t(db_);
      std::string folder;
      int number = 0;
      for (int more = collector_->Begin(&root, withSubfolders, folder); more == 1;
           more = collector_->Next(folder)) {
        if (!holdsDocuments(folder)) continue;
        Execute("INSERT INTO FolderMST(FolderNo, FolderPath, \"Check\") VALUES(?, ?, 0)",
                {++number, folder});
      }
      t.commit();
    }
    for (const FolderRow& row : ReadFolderRows())
      if (EvaluateFolder(row, false) == Outcome::Cancelled) break;
    Execute("DELETE FROM FolderMST WHERE NOT(FolderNo IN(SELECT FolderNo FROM HitItem))");
    return true;
  });
}

bool SearchDatabase::NarrowSearch(const std::string& root, bool withSubfolders) {
  cancelled_ = false;
  skipped_.clear();
  hitStacks_ = hitItems_ = 0;
  fulltext_.ResetNoTextCount();
  if (!IsOpen()) {
    lastError_ = "infos.mdb is not open";
    return false;
  }
  ReleaseFolders();
  return Guarded([&] {
    Execute("UPDATE FolderMST SET \"Check\" = 0");
    std::vector<std::string> range;
    std::string folder;
    for (int more = collector_->Begin(&root, withSubfolders, folder); more == 1;
         more = collector_->Next(folder))
      range.push_back(normalisedPath(folder));
    for (const FolderRow& row : ReadFolderRows())
      if (std::find(range.begin(), range.end(), normalisedPath(row.path)) != range.end())
        Execute("UPDATE FolderMST SET \"Check\" = 1 WHERE FolderNo = ?", {row.no});
    Execute("DELETE FROM FolderMST WHERE \"Check\" = 0");
    singleHitsByFolder_.clear();
    for (const FolderRow& row : ReadFolderRows()) {
      const Outcome outcome = EvaluateFolder(row, true);
      if (outcome == Outcome::Cancelled) break;
      if (outcome == Outcome::Done) Execute("UPDATE FolderMST SET \"Check\" = 0 WHERE FolderNo = ?", {row.no});
    }
    // Folders cancelled or not attached lose their earlier hits, stacks
    // and items alike.
    Execute("DELETE FROM HitItem WHERE FolderNo IN(SELECT FolderNo FROM FolderMST WHERE \"Check\" = 1)");
    Execute("DELETE FROM HitStack WHERE FolderNo IN(SELECT FolderNo FROM FolderMST WHERE \"Check\" = 1)");
    Execute("DELETE FROM FolderMST WHERE NOT(FolderNo IN(SELECT FolderNo FROM HitItem))");
    Execute("DELETE FROM HitStack WHERE NOT(FolderNo IN(SELECT FolderNo FROM FolderMST))");
    // The counts cover only the folders that stay.
    hitStacks_ = QueryInt("SELECT Count(*) FROM HitStack");
    hitItems_ = 0;
    for (const FolderRow& row : ReadFolderRows()) {
      const auto found = singleHitsByFolder_.find(row.no);
      if (found != singleHitsByFolder_.end()) hitItems_ += found->second;
    }
    if (progress_ != nullptr) progress_->SetFoundCount(GetHitCount());
    return true;
  });
}

SearchDatabase::Outcome SearchDatabase::EvaluateFolder(const FolderRow& row, bool narrowing) {
  Execute("DELETE FROM ItemWork");
  std::unique_ptr<FolderTables> tables;
  try {
    tables = std::make_unique<FolderTables>(
        db_, HeldOpen(row.path), row.path);
  } catch (const DbException& e) {
    skipped_.push_back(row.path);
    lastError_ = e.description();
    return Outcome::Skipped;
  }
  if (progress_ != nullptr) progress_->SetFolder(row.path);
  if (Pump()) return Outcome::Cancelled;
  Transaction t(db_);
  std::string sql = "INSERT INTO ItemWork(ItemNo) SELECT ItemNo FROM ItemMST";
  std::vector<Value> values;
  std::string where;
  const bool useDate = dateKind_ != 0 && !date_.empty();
  const bool useFile = fileKind_ != 0 && !file_.empty();
  if (useDate) {
    where += date_.sql;
    values.insert(values.end(), date_.values.begin(), date_.values.end());
  }
  if (useFile) {
    if (!where.empty()) where += " AND ";
    where += file_.sql;
    values.insert(values.end(), file_.values.begin(), file_.values.end());
  }
  if (narrowing) {
    if (!where.empty()) where += " AND ";
    where +=
        "(ItemNo IN(SELECT ItemNo FROM HitItem WHERE FolderNo = ?) OR StackNo IN(SELECT StackNo "
        "FROM HitStack WHERE FolderNo = ?))";
    values.emplace_back(row.no);
    values.emplace_back(row.no);
  }
  if (!where.empty()) sql += " WHERE " + where;
  Execute(sql, values);
  if (narrowing) {
    Execute("DELETE FROM HitItem WHERE FolderNo = ?", {row.no});
    Execute("DELETE FROM HitStack WHERE FolderNo = ?", {row.no});
  }
  const bool finished = MarkHits(row);
  t.commit();
  return finished ? Outcome::Done : Outcome::Cancelled;
}

bool SearchDatabase::MarkHits(const FolderRow& row) {
  Pump();
  if (!cancelled_) {
    if ((fields_ & 0x1F) == 0) {
      Execute("UPDATE ItemWork SET HitFlag = 1");
    } else {
      const auto mark = [&](unsigned bit, const std::string& sql, const Condition& c) {
        if (cancelled_ || (fields_ & bit) == 0) return;
        Execute(sql, c.values);
        Pump();
      };
      mark(searchfield::kTitle,
           "UPDATE ItemWork SET HitFlag = 1 WHERE ItemNo IN(SELECT ItemNo FROM ItemMST WHERE StackNo "
           "IN(SELECT StackNo FROM StackMST WHERE " + stackTitle_.sql + "))",
           stackTitle_);
      mark(searchfield::kTitle,
           "UPDATE ItemWork SET HitFlag = 1 WHERE ItemNo IN(SELECT ItemNo FROM ItemMST WHERE " +
               itemTitle_.sql + ")",
           itemTitle_);
      mark(searchfield::kCreator,
           "UPDATE ItemWork SET HitFlag = 1 WHERE ItemNo IN(SELECT ItemNo FROM CreatorMST WHERE " +
               creator_.sql + ")",
           creator_);
      mark(searchfield::kKeyword,
           "UPDATE ItemWork SET HitFlag = 1 WHERE ItemNo IN(SELECT ItemNo FROM KeywordMST WHERE " +
               keyword_.sql + ")",
           keyword_);
      mark(searchfield::kComment,
           "UPDATE ItemWork SET HitFlag = 1 WHERE ItemNo IN(SELECT ItemNo FROM CommentMST WHERE " +
               comment_.sql + ")",
           comment_);
      if (!cancelled_ && (fields_ & searchfield::kFullText) != 0) {
        std::vector<ItemInfo> candidates;
        {
          Statement s(db_,
                      "SELECT ItemNo, ItemTitle, ItemExt, ImageLevel, FullTextLevel, TextExt, StackNo "
                      "FROM ItemMST WHERE ItemNo IN(SELECT ItemNo FROM ItemWork WHERE HitFlag = 0)");
          while (s.step()) {
            ItemInfo info;
            info.ItemNo = s.intAt(0);
            info.Title = std::string(catalogue::titleOfFileName(s.textAt(1)));
            info.Ext = s.textAt(2);
            info.ImageLevel = s.intAt(3);
            info.FullTextLevel = s.intAt(4);
            info.TextExt = s.textAt(5);
            info.Stacked = s.isNull(6) ? 0 : 1;
            info.StackNo = s.intAt(6);
            candidates.push_back(std::move(info));
          }
        }
        int running = 0;
        Statement mark(db_, "UPDATE ItemWork SET HitFlag = 1 WHERE ItemNo = ?");
        const bool searched = fulltext_.SearchItems(row.path, candidates, [&](std::size_t index, int hit) {
          const ItemInfo& item = candidates[index];
          if (hit == 1) {
            mark.reset();
            mark.bind(1, item.ItemNo);
            mark.run();
            if (!negate_ && item.Stacked == 0 && progress_ != nullptr)
              progress_->SetFoundCount(hitStacks_ + hitItems_ + ++running);
          }
          return !Pump();
        });
        if (!searched) throw DbException(SQLITE_ERROR, fulltext_.LastError());
      }
    }
  }
  Execute(
      "UPDATE ItemWork SET HitFlag = 1 WHERE ItemNo IN (SELECT ItemNo FROM ItemMST WHERE StackNo IN "
      "(SELECT StackNo FROM ItemMST WHERE ItemNo IN (SELECT ItemNo FROM ItemWork WHERE HitFlag = 1)))");
  const int f = negate_ ? 0 : 1;
  Execute(
      "INSERT INTO HitStack(FolderNo,StackNo) SELECT ?,StackNo FROM ItemMST WHERE StackNo IS NOT NULL "
      "AND ItemNo IN (SELECT ItemNo FROM ItemWork WHERE HitFlag = ?) GROUP BY StackNo",
      {row.no, f});
  Execute("INSERT INTO HitItem(FolderNo,ItemNo) SELECT ?,ItemNo FROM ItemWork WHERE HitFlag = ?",
          {row.no, f});
  hitStacks_ = QueryInt("SELECT Count(*) FROM HitStack");
  const int singles = QueryInt(
      "SELECT Count(*) FROM ItemMST WHERE ItemNo IN(SELECT ItemNo FROM ItemWork WHERE HitFlag = ?) "
      "AND StackNo IS NULL",
      {f});
  singleHitsByFolder_[row.no] = singles;
  hitItems_ += singles;
  if (progress_ != nullptr) progress_->SetFoundCount(GetHitCount());
  Pump();
  return !cancelled_;
}

// ---- the hit walk ---------------------------------------------------------

bool SearchDatabase::GetFirstHit() {
  PostHit();
  return Guarded([&] {
    walkRows_ = ReadFolderRows();
    return true;
  });
}

FolderDatabase* SearchDatabase::EnumerationFolder(const FolderRow& row) {
  if (IsDocumentFolder(row.path)) return document_;
  if (accessNo_ == row.no && accessFolder_->IsOpen()) {
    // The walk takes over the accessors' object; its own old folder closes.
    std::swap(walkFolder_, accessFolder_);
    std::swap(walkNo_, accessNo_);
    if (lastAccessed_ == accessFolder_.get()) lastAccessed_ = nullptr;
    accessFolder_->CloseFolder();
    accessNo_ = 0;
  }
  if (walkNo_ == row.no && walkFolder_->IsOpen()) return walkFolder_.get();
  walkFolder_->CloseFolder();
  walkNo_ = 0;
  struct stat st {};
  if (::stat(FolderDatabase::CataloguePath(row.path).c_str(), &st) != 0) return nullptr;
  if (walkFolder_->OpenFolder(row.path, false) != dbresult::kOk) return nullptr;
  walkNo_ = row.no;
  return walkFolder_.get();
}

bool SearchDatabase::LoadFolderHits(FolderDatabase& folder, int folderNo) {
  std::vector<int> hits;
  {
    Statement s(db_, "SELECT ItemNo FROM HitItem WHERE FolderNo = ?");
    s.bind(1, folderNo);
    while (s.step()) hits.push_back(s.intAt(0));
  }
  walkStacks_.clear();
  walkItems_.clear();
  walkCursor_ = 0;
  if (hits.empty()) return true;
  const std::string list = intList(hits);
  {
    Statement s(folder.Engine(),
                "SELECT StackNo FROM ItemMST WHERE StackNo IS NOT NULL AND ItemNo IN(" + list +
                    ") GROUP BY StackNo ORDER BY StackNo");
    while (s.step()) walkStacks_.push_back(s.intAt(0));
  }
  {
    Statement s(folder.Engine(), "SELECT ItemNo FROM ItemMST WHERE StackNo IS NULL AND ItemNo IN(" +
                                     list + ") ORDER BY ItemNo");
    while (s.step()) walkItems_.push_back(s.intAt(0));
  }
  return true;
}

bool SearchDatabase::FillStackHit(FolderDatabase& folder, int stackNo, SearchHit& hit) {
  hit = {};
  if (folder.GetStackInfo(stackNo, hit.Stack) != dbresult::kOk) return false;
  if (folder.Stack2Item(stackNo, hit.Stack.CurPageNo, hit.Item) != dbresult::kOk) return false;
  hit.IsStack = 1;
  Statement s(folder.Engine(),
              "SELECT MAX(ThumbSizeX), MAX(ThumbSizeY) FROM ThumbMST WHERE ItemNo IN(SELECT ItemNo "
              "FROM ItemMST WHERE StackNo = ?)");
  s.bind(1, stackNo);
  if (s.step()) {
    hit.ThumbSizeX = s.isNull(0) ? 0 : s.intAt(0);
    hit.ThumbSizeY = s.isNull(1) ? 0 : s.intAt(1);
  }
  int found = 0;
  folder.GetThumbInfo(hit.Item.ItemNo, hit.Thumb, found);
  folder.HasAnnBoxes(hit.Item.ItemNo, hit.HasAnnBoxes);
  return true;
}

bool SearchDatabase::FillItemHit(FolderDatabase& folder, int itemNo, SearchHit& hit) {
  hit = {};
  if (folder.GetItemInfo(itemNo, hit.Item) != dbresult::kOk) return false;
  int found = 0;
  folder.GetThumbInfo(itemNo, hit.Thumb, found);
  hit.ThumbSizeX = hit.Thumb.ThumbSizeX;
  hit.ThumbSizeY = hit.Thumb.ThumbSizeY;
  folder.HasAnnBoxes(itemNo, hit.HasAnnBoxes);
  return true;
}

bool SearchDatabase::GetNextHit(SearchHit& hit, int& atEnd) {
  atEnd = 1;
  return Guarded([&] {
    while (walkIndex_ < walkRows_.size()) {
      const FolderRow& row = walkRows_[walkIndex_];
      if (walkPhase_ == 0) {
        walkDb_ = EnumerationFolder(row);
        if (walkDb_ == nullptr) {
          ++walkIndex_;
          continue;
        }
        LoadFolderHits(*walkDb_, row.no);
        walkPhase_ = 1;
      }
      if (walkPhase_ == 1) {
        while (walkCursor_ < walkStacks_.size()) {
          if (FillStackHit(*walkDb_, walkStacks_[walkCursor_++], hit)) {
            hit.FolderNo = row.no;
            hit.FolderPath = row.path;
            atEnd = 0;
            return true;
          }
        }
        walkPhase_ = 2;
        walkCursor_ = 0;
      }
      while (walkCursor_ < walkItems_.size()) {
        if (FillItemHit(*walkDb_, walkItems_[walkCursor_++], hit)) {
          hit.FolderNo = row.no;
          hit.FolderPath = row.path;
          atEnd = 0;
          return true;
        }
      }
      if (walkDb_ == walkFolder_.get()) {
        walkFolder_->CloseFolder();
        walkNo_ = 0;
      }
      walkDb_ = nullptr;
      walkPhase_ = 0;
      ++walkIndex_;
    }
    return true;
  });
}

bool SearchDatabase::PostHit() {
  if (lastAccessed_ == walkFolder_.get()) lastAccessed_ = nullptr;
  walkFolder_->CloseFolder();
  walkNo_ = 0;
  walkDb_ = nullptr;
  walkRows_.clear();
  walkIndex_ = 0;
  walkPhase_ = 0;
  walkStacks_.clear();
  walkItems_.clear();
  walkCursor_ = 0;
  return true;
}

// ---- per-folder accessors -------------------------------------------------

bool SearchDatabase::GetFolderPath(int folderNo, std::string& path) {
  return Guarded([&] {
    Statement s(db_, "SELECT FolderPath FROM FolderMST WHERE FolderNo = ?");
    s.bind(1, folderNo);
    if (!s.step()) return false;
    path = s.textAt(0);
    return true;
  });
}

FolderDatabase* SearchDatabase::AccessFolder(int folderNo) {
  std::string path;
  if (!GetFolderPath(folderNo, path)) return nullptr;
  if (IsDocumentFolder(path)) return document_;
  if (walkNo_ == folderNo && walkFolder_->IsOpen()) return walkFolder_.get();
  if (accessNo_ == folderNo) return accessFolder_.get();
  accessFolder_->CloseFolder();
  accessNo_ = 0;
  struct stat st {};
  if (::stat(FolderDatabase::CataloguePath(path).c_str(), &st) == 0 &&
      accessFolder_->OpenFolder(path, false) != dbresult::kOk)
    return nullptr;
  accessNo_ = folderNo;
  return accessFolder_.get();
}

bool SearchDatabase::OpenFolderByNo(int folderNo) { return AccessFolder(folderNo) != nullptr; }

template <typename Op>
bool SearchDatabase::OnFolder(int folderNo, Op&& op) {
  FolderDatabase* folder = AccessFolder(folderNo);
  if (folder == nullptr) return false;
  lastAccessed_ = folder;
  return op(*folder) == dbresult::kOk;
}

bool SearchDatabase::HasFolderAnnBoxes(int folderNo, int itemNo, int& has) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.HasAnnBoxes(itemNo, has); });
}
bool SearchDatabase::GetFolderThumbInfo(int folderNo, int itemNo, ThumbInfo& thumb, int& found) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.GetThumbInfo(itemNo, thumb, found); });
}
bool SearchDatabase::GetFolderItemInfo(int folderNo, int itemNo, ItemInfo& info) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.GetItemInfo(itemNo, info); });
}
bool SearchDatabase::SetFolderItemInfo(int folderNo, const ItemInfo& info, std::uint32_t mask) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.SetItemInfo(info, mask); });
}
bool SearchDatabase::GetFolderStackInfo(int folderNo, int stackNo, StackInfo& info) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.GetStackInfo(stackNo, info); });
}
bool SearchDatabase::SetFolderStackInfo(int folderNo, const StackInfo& info, std::uint32_t mask) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.SetStackInfo(info, mask); });
}
bool SearchDatabase::SetFolderCreator(int folderNo, int itemNo, const std::string& text) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.SetCreator(itemNo, text); });
}
bool SearchDatabase::SetFolderKeyword(int folderNo, int itemNo, const std::string& text) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.SetKeyword(itemNo, text); });
}
bool SearchDatabase::SetFolderComment(int folderNo, int itemNo, const std::string& text) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.SetComment(itemNo, text); });
}
bool SearchDatabase::GetFolderCreator(int folderNo, int itemNo, std::string& text) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.GetAttribute(itemNo, text, "Creator"); });
}
bool SearchDatabase::GetFolderKeyword(int folderNo, int itemNo, std::string& text) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.GetAttribute(itemNo, text, "Keyword"); });
}
bool SearchDatabase::GetFolderComment(int folderNo, int itemNo, std::string& text) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.GetAttribute(itemNo, text, "Comment"); });
}
bool SearchDatabase::FindFolderStack(int folderNo, const std::string& title, int& found,
                                     StackInfo& info) {
  return OnFolder(folderNo, [&](FolderDatabase& f) {
    int stackNo = 0;
    const int code = f.FindStack(title, found, stackNo);
    if (code != dbresult::kOk || found == 0) return code;
    return f.GetStackInfo(stackNo, info);
  });
}
bool SearchDatabase::FindFolderItem(int folderNo, const std::string& title, const std::string& ext,
                                    int& found, ItemInfo& info) {
  return OnFolder(folderNo, [&](FolderDatabase& f) {
    int itemNo = 0;
    const int code = f.FindItem(title, ext, found, itemNo);
    if (code != dbresult::kOk || found == 0) return code;
    return f.GetItemInfo(itemNo, info);
  });
}
bool SearchDatabase::FolderStack2Item(int folderNo, int stackNo, int pageNo, ItemInfo& info) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.Stack2Item(stackNo, pageNo, info); });
}
bool SearchDatabase::SetFolderStackPageInfo(int folderNo, int stackNo, int pageNo, ItemInfo info,
                                            std::uint32_t mask) {
  return OnFolder(folderNo, [&](FolderDatabase& f) {
    ItemInfo page;
    if (const int code = f.Stack2Item(stackNo, pageNo, page); code != dbresult::kOk) return code;
    info.ItemNo = page.ItemNo;
    return f.SetItemInfo(info, mask);
  });
}
bool SearchDatabase::UnregisterFolderStack(int folderNo, int stackNo) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.UnregisterStack(stackNo); });
}
bool SearchDatabase::UnregisterFolderItem(int folderNo, int itemNo, DissolvedStack& dissolved) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.UnregisterItem(itemNo, dissolved); });
}
bool SearchDatabase::GetFolderFirstStackPage(int folderNo, int stackNo) {
  return OnFolder(folderNo, [&](FolderDatabase& f) { return f.GetFirstStackPage(stackNo); });
}
bool SearchDatabase::GetFolderSingleItemNextInfo(ItemInfo& info, int& atEnd) {
  return lastAccessed_ != nullptr && lastAccessed_->GetSingleItemNextInfo(info, atEnd) == dbresult::kOk;
}
bool SearchDatabase::PostFolderSingleItem() {
  return lastAccessed_ != nullptr && lastAccessed_->PostSingleItem() == dbresult::kOk;
}
