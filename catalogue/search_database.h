#pragma once
// SearchDatabase: a search over many folders at once, and the hits it
// finds, kept in the work catalogue infos.mdb.
//
//   Open, Close                          the work catalogue
//   SetWordFilter, SetDateFilter, SetFileFilter, SetFulltextParameter
//   Search, NarrowSearch, ClearWorkTables, GetHitCount
//   GetFirstHit, GetNextHit, PostHit     the hits, folder by folder
//   GetFolder... / SetFolder... / ...    one hit folder's stacks and items
//   SetOpenFolder                        the folder the browser holds open
//
// Each folder of the range is evaluated on its own: its catalogue is
// attached read-only to the work catalogue's connection, the conditions run
// as SQL with every value bound, and the hits are written to HitItem and
// HitStack. The folder the browser holds open is locked against every other
// connection, so its tables are read through the browser's own connection
// (SetOpenFolder) into temporary tables of the same names: it is searched
// like every other folder, and its hits are walked and edited through the
// browser's catalogue object.
//
// Words are matched in the stored form of the catalogue (' and | of the
// attribute texts as 0x01 and 0x02); LIKE patterns escape "%", "_" and "\",
// so every character of a word matches only itself. Text compares ASCII
// case-blind, as the catalogue's columns do.
//
// Failures: Search and NarrowSearch return false after an engine or memory
// failure (LastError holds its text); a cancel returns true with
// WasCancelled. A folder whose catalogue cannot be read (damaged, missing,
// held by another program, no permission) is left out, counted and listed
// in SkippedFolders, for the caller to tell the user. A folder that this
// object itself holds open for the hit board is read through that
// connection, and a new search first closes them all.

#include "catalogue/catalogue_records.h"
#include "catalogue/folder_database.h"
#include "catalogue/fulltext_search.h"
#include "catalogue/search_folders.h"
#include "catalogue/sqlite_database.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

// The search progress dialog as the search sees it.
class SearchProgress {
 public:
  virtual ~SearchProgress() = default;
  // Lets the user interface run; true once the user has cancelled.
  virtual bool PumpAndCancelled() = 0;
  virtual void SetFoundCount(int count) = 0;
  // The folder being searched.
  virtual void SetFolder(const std::string& folder) { (void)folder; }
};

namespace searchfield {
inline constexpr unsigned kTitle = 0x1;  // stack titles and item titles
inline constexpr unsigned kCreator = 0x2;
inline constexpr unsigned kKeyword = 0x4;
inline constexpr unsigned kComment = 0x8;
inline constexpr unsigned kFullText = 0x10;
}  // namespace searchfield

namespace searchmode {
inline constexpr int kExact = 0;
inline constexpr int kPrefix = 10;
inline constexpr int kSuffix = 20;
inline constexpr int kContains = 30;
}  // namespace searchmode

namespace searchdate {
inline constexpr int kNone = 0;
inline constexpr int kOfficial = 10;
inline constexpr int kLastModified = 20;
inline constexpr int kLastAccessed = 40;
}  // namespace searchdate

namespace searchfile {
inline constexpr int kAny = 0;
inline constexpr int kImages = 10;
inline constexpr int kNotImages = 20;
inline constexpr int kExtensions = 30;
inline constexpr int kMaxExtensions = 16;
}  // namespace searchfile

// One hit of the walk: a stack with its cover page, or a single item.
struct SearchHit {
  int FolderNo = 0;
  std::string FolderPath;
  int IsStack = 0;
  StackInfo Stack;
  ItemInfo Item;  // the single item, or the stack's cover page
  int ThumbSizeX = 0;
  int ThumbSizeY = 0;
  ThumbInfo Thumb;  // empty when the item has no thumbnail
  int HasAnnBoxes = 0;
};

class SearchDatabase {
 public:
  static constexpr const char* kFileName = "infos.mdb";

  SearchDatabase();
  ~SearchDatabase();
  SearchDatabase(const SearchDatabase&) = delete;
  SearchDatabase& operator=(const SearchDatabase&) = delete;

  // Opens dir/infos.mdb shared; false with LastError when it cannot.
  bool Open(const std::string& dir, const std::string& textlibFolder);
  // Opens the work catalogue of the program folder, first copying the empty
  // one from the program's "db" folder when there is none; the text
  // extraction folder is the program's "textlib".
  bool OpenWorkCatalogue();
  bool Close();
  bool IsOpen() const { return db_.isOpen(); }

  void SetProgress(SearchProgress* progress) { progress_ = progress; }
  // The catalogue the browser holds open (not owned; null for none).
  void SetOpenFolder(FolderDatabase* document) { document_ = document; }
  // The collector to walk (not owned); the program's one by default.
  void SetFolderCollector(SearchFolders* collector) { collector_ = collector; }

  bool SetWordFilter(unsigned fields, const std::vector<std::string>& words, int mode, bool negate);
  // from and to as YYYYMMDD.
  bool SetDateFilter(int kind, int from, int to);
  // False, changing nothing, for more than 16 extensions.
  bool SetFileFilter(int kind, const std::vector<std::string>& extensions);
  bool SetFulltextParameter(int widthVariants, int caseFolding, int similarity);

  bool ClearWorkTables();
  bool Search(const std::string& root, bool withSubfolders);
  bool NarrowSearch(const std::string& root, bool withSubfolders);
  int GetHitCount() const { return hitStacks_ + hitItems_; }
  int HitStackCount() const { return hitStacks_; }

  bool GetFirstHit();
  // atEnd = 1 after the last hit.
  bool GetNextHit(SearchHit& hit, int& atEnd);
  bool PostHit();

  // ---- one hit folder, by its number ---------------------------------------
  bool GetFolderPath(int folderNo, std::string& path);
  bool OpenFolderByNo(int folderNo);
  // The hit folder's catalogue (owned by the search or the browser), or null.
  FolderDatabase* FolderByNo(int folderNo) { return AccessFolder(folderNo); }
  bool HasFolderAnnBoxes(int folderNo, int itemNo, int& has);
  bool GetFolderThumbInfo(int folderNo, int itemNo, ThumbInfo& thumb, int& found);
  bool GetFolderItemInfo(int folderNo, int itemNo, ItemInfo& info);
  bool SetFolderItemInfo(int folderNo, const ItemInfo& info, std::uint32_t mask);
  bool GetFolderStackInfo(int folderNo, int stackNo, StackInfo& info);
  bool SetFolderStackInfo(int folderNo, const StackInfo& info, std::uint32_t mask);
  bool SetFolderCreator(int folderNo, int itemNo, const std::string& text);
  bool SetFolderKeyword(int folderNo, int itemNo, const std::string& text);
  bool SetFolderComment(int folderNo, int itemNo, const std::string& text);
  bool GetFolderCreator(int folderNo, int itemNo, std::string& text);
  bool GetFolderKeyword(int folderNo, int itemNo, std::string& text);
  bool GetFolderComment(int folderNo, int itemNo, std::string& text);
  bool FindFolderStack(int folderNo, const std::string& title, int& found, StackInfo& info);
  bool FindFolderItem(int folderNo, const std::string& title, const std::string& ext, int& found,
                      ItemInfo& info);
  bool FolderStack2Item(int folderNo, int stackNo, int pageNo, ItemInfo& info);
  bool SetFolderStackPageInfo(int folderNo, int stackNo, int pageNo, ItemInfo info,
                              std::uint32_t mask);
  bool UnregisterFolderStack(int folderNo, int stackNo);
  bool UnregisterFolderItem(int folderNo, int itemNo, DissolvedStack& dissolved);
  bool GetFolderFirstStackPage(int folderNo, int stackNo);
  // On the folder of the last accessor call.
  bool GetFolderSingleItemNextInfo(ItemInfo& info, int& atEnd);
  bool PostFolderSingleItem();

  const std::string& LastError() const { return lastError_; }
  bool WasCancelled() const { return cancelled_; }
  int SkippedFolderCount() const { return static_cast<int>(skipped_.size()); }
  const std::vector<std::string>& SkippedFolders() const { return skipped_; }
  // Items of the last search that had no text to search (full text only).
  int NoTextCount() const { return fulltext_.NoTextCount(); }
  FulltextSearch& Fulltext() { return fulltext_; }
  SqliteDatabase& Engine() { return db_; }

 private:
  using Value = std::variant<int, std::string>;
  struct Condition {
    std::string sql;
    std::vector<Value> values;
    bool empty() const { return sql.empty(); }
  };
  enum class Outcome { Done, Skipped, Cancelled };
  struct FolderRow {
    int no = 0;
    std::string path;
  };
  class FolderTables;

  static Condition WordCondition(const char* column, const std::vector<std::string>& words,
                                 int mode, bool stored);
  template <typename Body>
  bool Guarded(Body&& body);
  bool Pump();
  std::vector<FolderRow> ReadFolderRows();
  Outcome EvaluateFolder(const FolderRow& row, bool narrowing);
  bool MarkHits(const FolderRow& row);
  void Execute(const std::string& sql, const std::vector<Value>& values = {});
  int QueryInt(const std::string& sql, const std::vector<Value>& values = {});
  bool IsDocumentFolder(const std::string& path) const;
  // The catalogue object that holds the folder open (the browser's or one
  // of ours), or null.
  FolderDatabase* HeldOpen(const std::string& path) const;
  // Closes the folders the walk and the accessors hold, so that a search
  // can read them (and folder numbers of an old result name nothing).
  void ReleaseFolders();
  FolderDatabase* EnumerationFolder(const FolderRow& row);
  FolderDatabase* AccessFolder(int folderNo);
  template <typename Op>
  bool OnFolder(int folderNo, Op&& op);
  bool LoadFolderHits(FolderDatabase& folder, int folderNo);
  bool FillStackHit(FolderDatabase& folder, int stackNo, SearchHit& hit);
  bool FillItemHit(FolderDatabase& folder, int itemNo, SearchHit& hit);

  SqliteDatabase db_;
  std::string lastError_;
  SearchProgress* progress_ = nullptr;
  FolderDatabase* document_ = nullptr;
  SearchFolders* collector_ = nullptr;
  FulltextSearch fulltext_;

  unsigned fields_ = 0;
  bool negate_ = false;
  Condition stackTitle_, itemTitle_, creator_, comment_, keyword_;
  int dateKind_ = 0;
  Condition date_;
  int fileKind_ = 0;
  Condition file_;

  int hitStacks_ = 0;
  int hitItems_ = 0;
  std::map<int, int> singleHitsByFolder_;
  bool cancelled_ = false;
  std::vector<std::string> skipped_;

  // The hit walk and the accessors each have their own catalogue object;
  // the walk takes over the accessors' object when it reaches the folder
  // that object holds, so neither ever closes the other's folder.
  std::unique_ptr<FolderDatabase> walkFolder_;
  int walkNo_ = 0;
  std::unique_ptr<FolderDatabase> accessFolder_;
  int accessNo_ = 0;
  FolderDatabase* lastAccessed_ = nullptr;
  std::vector<FolderRow> walkRows_;
  std::size_t walkIndex_ = 0;
  int walkPhase_ = 0;  // 0 no folder, 1 stacks, 2 single items
  std::vector<int> walkStacks_;
  std::vector<int> walkItems_;
  std::size_t walkCursor_ = 0;
  FolderDatabase* walkDb_ = nullptr;
};
