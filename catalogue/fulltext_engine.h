#pragma once
// The full-text engine: registers a search expression with its variants and
// scans Shift-JIS text files for it, block by block.
//
//   InitFulltextSearch, PostFulltextSearch       life of one search
//   SetSearchParameter, SetSearchIgnorance       parameters, ignored characters
//   RegisterSearchString                         parse, kinds, variants, order
//   DirectSearchFirst, ScanBlock, PostSearch     scanning one file
//   ToHalfWidth                                  the inverse of ToFullWidth
//
// Parameters (16-bit, defaults in brackets): 1 unused here [1]; 2 context of
// the match record: 0 none, 1 or 2 the text at the hit [1]; 3 unused [128];
// 4 the kind of a plain term [3]; 5 add the full- and half-width forms of
// each term [1]; 6 fold case: ASCII and full-width letters, small kana [1];
// 7 similarity in percent: 100 exact, below that a fuzzy comparison [100].
//
// A file is read in blocks of 30,720 bytes into one buffer; a block after
// the first is read from 256 bytes earlier, so that a term across a border
// is found while the earlier block is scanned, and the first 256 bytes of
// the later block are not tried again. The walk of a later block starts on
// the character boundary where the walk of the earlier block ended, so a
// trail byte is never taken for the start of a character.
//
// One object holds the whole state; one file is scanned at a time.

#include "catalogue/fulltext_query.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fulltext {

inline constexpr int kBlockBytes = 30720;
inline constexpr int kOverlapBytes = 256;
inline constexpr int kSlotCount = 3;
inline constexpr int kMaxIgnored = 128;
inline constexpr int kContextBytes = 263;

struct MatchRecord {
  std::string path;
  std::int64_t offset = 0;  // of the hit in the file
  int length = 0;           // bytes the term covered
  int score = 0;            // 100 exact, else the similarity score
  std::int64_t modifiedTime = 0;
  std::string context;      // empty unless parameter 2 asks for it
};

class FulltextEngine {
 public:
  FulltextEngine();
  ~FulltextEngine();
  FulltextEngine(const FulltextEngine&) = delete;
  FulltextEngine& operator=(const FulltextEngine&) = delete;

  int InitFulltextSearch();
  int PostFulltextSearch();
  int SetSearchParameter(int p1, int p2, int p3, int p4, int p5, int p6, int p7);
  // 0 when the list of that kind of character is full.
  int SetSearchIgnorance(unsigned char lead, unsigned char trail);
  // Registers up to three expressions (empty ones are left out). Non-zero
  // on success; on failure nothing usable is registered and
  // LastParseResult tells a parse failure.
  int RegisterSearchString(std::string_view e0, std::string_view e1 = {},
                           std::string_view e2 = {});
  int LastParseResult() const { return lastParse_; }
  void SetScanOption(int, int) {}
  // 1 found, 0 not found or unreadable.
  int DirectSearchFirst(const std::string& path, MatchRecord& record);
  int ScanBlock(int first, int block, const std::string& path);
  int PostSearch();
  // The same scan over a text in memory, block by block as a file is
  // scanned: 1 found, 0 not. Reads only the registered terms and the
  // parameters, so any number of threads may scan at once between two
  // registrations.
  int SearchText(std::string_view sjis) const;

  const MatchRecord& Match() const { return match_; }
  int Parameter(int number) const { return params_[static_cast<std::size_t>(number - 1)]; }
  // The terms of a slot after registration (longest first) with their kinds
  // and required character counts.
  const TermSlot& Slot(int slot) const { return slots_[static_cast<std::size_t>(slot)]; }

 private:
  struct Pair {
    int slot;
    int term;
  };
  void CloseFile();
  bool AddVariant(TermSlot& slot, const std::string& term, TermKind kind);
  // The match length at position, or -1; sets the score.
  int HitAt(const MatchText& text, std::size_t position, int& score) const;
  bool Similar(const MatchText& text, std::size_t position, const std::string& term,
               int required, int& length, int& score) const;
  bool ConfirmOtherSlots(const MatchText& text, std::size_t position, int acceptedSlot) const;
  MatchText Text() const;
  MatchText TextOver(const unsigned char* data, std::size_t length) const;
  // Walks text from position while below limit; the position of the first
  // hit (length and score set), or the position where the walk stopped
  // with found false.
  std::size_t Walk(const MatchText& text, std::size_t position, std::size_t limit, bool& found,
                   int& length, int& score) const;

  std::array<int, 7> params_{};
  std::vector<unsigned char> ignoredBytes_;
  std::vector<std::uint16_t> ignoredPairs_;
  std::array<TermSlot, kSlotCount> slots_;
  std::array<std::vector<int>, kSlotCount> required_;
  std::vector<Pair> pairs_;
  std::array<bool, 256> startBytes_{};
  int lastParse_ = 0;

  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> file_;
  std::string path_;
  int block_ = -1;
  std::size_t bytes_ = 0;
  std::size_t resume_ = 0;
  int hits_ = 0;
  // Where the walk of a block stopped, for the block after it.
  int alignedBlock_ = -1;
  std::int64_t alignedOffset_ = 0;
  std::array<unsigned char, kScanBufferBytes + 1> buffer_{};
  MatchRecord match_;
};

// Shift-JIS in and out: each full-width character that ToFullWidth makes
// from a half-width character (or a half-width kana with its voicing mark)
// becomes that half-width form again; other characters stay.
std::string ToHalfWidth(std::string_view sjis);

}  // namespace fulltext
