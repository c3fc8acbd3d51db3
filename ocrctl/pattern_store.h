#pragma once
// The user-pattern store: the ".upt" pattern file (an OLE compound file with
// the streams "Green Index" and "Green Data", copies of the engine's two
// learning files, and "Green Image", a 16-bit count then 518-byte pattern
// records), the learning files in the learning folder, and the engine calls
// that keep them in step.
//
//   open                 set the paths, load with the engine merge
//   loadPatternFile      learning streams -> learning files; optionally the
//                        image section out; optionally the engine merge
//   readPatternImages    the image section only, converting an old flat
//                        file first
//   savePatternFile      image section (optional) and learning files -> file
//   appendRecord         one record at the end of "Green Image"
//   registerPattern      engine registration, then the record appended
//   deleteLearningFiles  both learning files, when this store was the last
//                        live user of its learning folder
//
// The pattern file is read and written whole (libgsf cannot rewrite a stream
// in place): a write goes to a temporary file beside it and is renamed into
// place. While an operation has the file open it holds an exclusive flock on
// it, so a second opener fails until the first is done.
#include "ocrctl/working_image.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ocrctl {

inline constexpr int kPatternRecordBytes = 518;
inline constexpr int kPatternImageBytes = 512;
inline constexpr int kPatternSide = 64;
inline constexpr const char* kStreamIndex = "Green Index";
inline constexpr const char* kStreamData = "Green Data";
inline constexpr const char* kStreamImage = "Green Image";
inline constexpr const char* kLearningIndexFile = "nimba10lrnspl.lin";
inline constexpr const char* kLearningDataFile = "nimba10lrn.lin";
inline constexpr const char* kBaseIndexFile = "nimba10greenspl.lin";

using PatternImage = std::array<std::uint8_t, kPatternImageBytes>;

// The 64 x 64 pattern of an inclusive rectangle of the image: unscaled in
// the top-left corner when it fits, else scaled to fill the pattern.
PatternImage cutPattern(const BitImage& image, int left, int top, int right, int bottom);

// Old flat pattern file -> image section; numbers from `registerWithEngine`.
// False for another signature, a count below 1, a short file, a blank
// pattern or an engine refusal.
using RegisterFn = bool (*)(void* context, std::uint16_t codeLeadHigh, const PatternImage& image,
                            const std::int32_t rect[4], std::int16_t* number);
bool convertFlatPatterns(const std::vector<std::uint8_t>& file, RegisterFn registerWithEngine, void* context,
                         std::vector<std::uint8_t>& section);

class PatternStore {
 public:
  PatternStore() = default;
  ~PatternStore();
  PatternStore(const PatternStore&) = delete;
  PatternStore& operator=(const PatternStore&) = delete;

  bool open(const std::string& fileName, const std::string& patternFolder, const std::string& learningFolder,
            const std::string& dictionaryFolder);
  void setPatternPath(const std::string& path) { patternPath_ = path; }
  const std::string& patternPath() const { return patternPath_; }
  const std::string& learningFolder() const { return learningFolder_; }

  bool loadPatternFile(std::vector<std::uint8_t>* section, bool merge);
  bool readPatternImages(std::vector<std::uint8_t>& section);
  bool savePatternFile(const std::vector<std::uint8_t>* section);
  bool appendRecord(const std::array<std::uint8_t, kPatternRecordBytes>& record);
  // The new pattern number, or -1.
  int registerPattern(std::uint16_t codeLeadFirst, const BitImage& image, const std::int32_t rect[4],
                      const PatternImage& pattern);
  void deleteLearningFiles();

 private:
  bool createPatternFile();
  void claimLearningFolder();

  std::string patternPath_;
  std::string learningFolder_;
  std::string dictionaryFolder_;
  bool claimed_ = false;
};

}  // namespace ocrctl
