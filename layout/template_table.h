// Form templates on disk: the table `template.tbl`, one per-template file
// "@N%06d" per template, the names file `template.tnm`, and the routines that
// register, read, name, step through and convert them.
//
//   in memory      TemplateTable, TemplateFile, TemplateName
//   byte codecs    encode/decode_template_table, encode/decode_template_file,
//                  decode_old_template_table (pure: no pools, no files)
//   files          read_file_bounded, write_file_replacing (over the platform's
//                  capped read and replacing write)
//   paths          template_table_path, template_names_path, template_file_name
//   features       compute_template_features
//   table          create_template_table, open_template_table,
//                  register_template, read_template_file, read_template_core
//   names          read_template_names, read_template_name, write_template_name
//   navigation     count_registered_templates, step_template
//   copies         copy_fld_list, copy_valid_lines
//   old tables     check_template_table, convert_template_table
//
// Every file is untrusted input: readers are given the capacity of what they
// fill and refuse a file that is shorter or longer than its own counts say.
// Writers put a whole file beside its target and rename it over the target,
// and registration commits the table only after the per-template file is in
// place, so a failure never leaves a table entry without its file.
#pragma once

#include "layout/char_block.h"       // kTemplateFileMaxBytes, template_file_path, write_char_blocks
#include "layout/char_block_file.h"  // kTemplateFileHeaderBytes
#include "layout/records.h"
#include "layout/template_field.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace layout {

inline constexpr int kTemplateCapacity = 300;
inline constexpr int kTemplateFeatureCount = 11;
inline constexpr std::size_t kTemplateTableBytes = 11848;
inline constexpr std::size_t kOldTemplateTableBytes = 11828;  // the table before it had a header
inline constexpr std::size_t kTemplateHeaderBytes = 20;
inline constexpr std::size_t kTemplateNameRecordBytes = 88;
inline constexpr std::size_t kTemplateNameChars = 80;
inline constexpr std::size_t kTemplateEntryBytes = 16;
// The attribute text is handed to callers in a 1024-byte buffer with its NUL.
inline constexpr std::size_t kTemplateAttributeMax = 1023;
inline constexpr char kTemplateTableTitle[] = "layout 35";
inline constexpr int kTemplateMaxCandidates = 30;

// A full table refuses a further registration.
inline constexpr short kStatusTemplateTableFull = -126;

// Slot bytes of the table.
inline constexpr std::int8_t kSlotInactive = 0;  // registered; read only when asked for
inline constexpr std::int8_t kSlotActive = 1;    // registered and taking part in automatic matching
inline constexpr std::int8_t kSlotDeleted = -2;

// Ruled-line features, in the order of the table's arrays.
enum TemplateFeature : int {
  kFeatureHLines = 0,
  kFeatureVLines,
  kFeatureLines,
  kFeatureHLength,
  kFeatureVLength,
  kFeatureLength,
  kFeatureCrossCentre,
  kFeatureIntersections,
  kFeatureHBands,
  kFeatureVBands,
  kFeatureFieldCount,
};
using TemplateFeatures = std::array<std::uint16_t, kTemplateFeatureCount>;

struct TemplateTable {
  std::uint16_t count = 0;  // slots in use, deleted ones included
  std::array<std::int8_t, kTemplateCapacity> slotBytes{};
  std::array<std::array<std::uint16_t, kTemplateCapacity>, kTemplateFeatureCount> features{};
  std::array<std::array<char, kTemplateEntryBytes>, kTemplateCapacity> entries{};

  // Registered (slot byte 0 or 1) and below the count.
  bool registered(int slot) const;
  // The entry text up to its NUL (at most 16 bytes).
  std::string entry(int slot) const;
};

// One stored ruled line: horizontal (left x, right x, y, valid), vertical
// (x, top y, bottom y, valid).
struct TemplateLine {
  std::int16_t a = 0, b = 0, c = 0, valid = 1;
};

struct TemplateFile {
  std::string attribute;  // bytes as stored, no terminator
  std::vector<TemplateLine> hlines;
  std::vector<TemplateLine> vlines;
  std::vector<TemplateFieldEntry> fields;
  std::vector<std::uint8_t> charBlocks;  // everything after the field records, kept as it is
};

// Field records of the per-template files of earlier versions.
enum class TemplateRecordKind { Current, Old16, Old32 };
inline constexpr std::size_t kOldRecordBytes16 = 467;
inline constexpr std::size_t kOldRecordBytes32 = 875;

struct TemplateName {
  std::int32_t number = 0;
  std::int32_t flag = 0;   // 1: reading the template also replaces the page's ruled lines
  std::string name;        // Shift-JIS bytes, at most 79
};

// --- byte codecs ------------------------------------------------------------

std::vector<std::uint8_t> encode_template_table(const TemplateTable& table);
// 1, or -123 when the bytes are not exactly one table (size, title, capacity,
// count beyond the capacity).
short decode_template_table(std::span<const std::uint8_t> bytes, TemplateTable* table);
// The first 20 bytes hold exactly the NUL-terminated title.
bool template_table_has_title(std::span<const std::uint8_t> bytes);
// A table without header (an earlier version's); 1 or -123.  Shorter files
// are read as far as they go, as the conversion always did.
short decode_old_template_table(std::span<const std::uint8_t> bytes, TemplateTable* table);

std::vector<std::uint8_t> encode_template_file(const TemplateFile& file);
// 1, or -123 when the counts of the header do not fit the bytes or the
// attribute text exceeds its buffer.  Old records are converted to the
// 870-byte form (character-block counts above 50 become 50).
short decode_template_file(std::span<const std::uint8_t> bytes, TemplateFile* file,
                           TemplateRecordKind kind = TemplateRecordKind::Current);
TemplateFieldEntry convert_old_template_record(std::span<const std::uint8_t> record, TemplateRecordKind kind);

std::array<std::uint8_t, kTemplateNameRecordBytes> encode_template_name(const TemplateName& name);
TemplateName decode_template_name(std::span<const std::uint8_t, kTemplateNameRecordBytes> record);

// --- files ------------------------------------------------------------------

// Reads a whole file of at most `capacity` bytes: 1, -121 not openable,
// -123 unreadable or larger than the capacity.
short read_file_bounded(const std::string& path, std::size_t capacity, std::vector<std::uint8_t>* bytes);
// Writes the bytes beside `path` and renames them over it: 1, -121 the
// temporary file cannot be created, -122 a write or the rename failed.
short write_file_replacing(const std::string& path, std::span<const std::uint8_t> bytes);

// --- paths ------------------------------------------------------------------

// folder + "/" (when missing) + name.
std::string template_folder_path(const std::string& folder, const std::string& name);
std::string template_table_path(const std::string& folder);
std::string template_names_path(const std::string& folder);
// folder + "/" + "@N" + number as "%06d"; false when no name could be formed.
bool template_file_name(std::string* path, const std::string& folder, int number);

// --- the template context ---------------------------------------------------

struct TemplateCandidate {
  std::int16_t number = 0;
  double score = 0.0;
};

struct TemplateContext {
  std::string folder;
  std::string tablePath;
  std::string attribute;
  int fileNumber = 0;        // the number a per-template file name is formed from
  int current = -1;          // current template number, -1 none
  int candidateIndex = 0;
  std::vector<TemplateCandidate> candidates;
};

// The library's one context.
TemplateContext& templateContext();
// Empties the context (folder, paths, no current template, no candidates).
void reset_template_context();
// The set-up shared by the template exports, inside their image frame: the
// folder (without a trailing separator) and its table path go into the
// library state and the context, the template flag is cleared, and the
// half-size image gets its geometry.
void begin_template_call(const char* folder, int width, int height);

// --- features and rings -----------------------------------------------------

// The eleven features of a page's ruled lines and a field ring.  The line
// minimums are the template parameters as converted for the current dpi.
TemplateFeatures compute_template_features(const KeisenPair& lines, const ImageDesc& page, const userfld* fields);
bool valid_hline(const Keisen& line);
bool valid_vline(const Keisen& line);

// Ends a read that built its rings aside: on success they replace *fields
// and *lines, otherwise they are freed and the caller's stay whole.
// Returns `status`.
short settle_template_rings(short status, userfld* ring, KeisenPair pair, userfld** fields, KeisenPair* lines);
// Appends the field of a stored record to the ring (with its character
// blocks and children); 1 or -111.
short template_field_to_fld(const TemplateFieldEntry& entry, userfld** ring);

// --- the table --------------------------------------------------------------

// Writes an empty table at ctx.tablePath: 1, -121, -122.
short create_template_table(const TemplateContext& ctx);
// Reads the table at `tablePath` into `table`: 1, -121, -123.
short open_template_table(const std::string& tablePath, TemplateTable* table);

// Registers a template: the field ring (with the character-kind blocks of
// its merge runs), the page's ruled lines, the page.
// `slotValue` is kSlotActive or kSlotInactive.  On success ctx.fileNumber
// holds the new template's number.  1, -150 no fields, -121, -122, -123,
// -125, -126 the table is full.
short register_template(TemplateContext& ctx, const userfld* fields, const KeisenPair& lines,
                        const ImageDesc& page, std::int8_t slotValue);

// Reads template n of an opened table: its fields and ruled lines replace
// the contents of *fields and *lines; *attribute receives the attribute
// text.  1, -121, -123 (also for a deleted slot, a slot beyond the count or
// an entry that is not a file number), -111.
short read_template_file(userfld** fields, KeisenPair* lines, int number, const std::string& folder,
                         std::string* attribute, const TemplateTable& table);

// Reads template n for display into the given rings (freed first) and
// aligns it to the page's lines at the threshold; ctx.current becomes n.
// 1, -121, -123 (deleted or beyond the count; the rings and the current
// number stay as they were), -111.
short read_template_core(TemplateContext& ctx, int number, userfld** fields, KeisenPair* lines,
                         const KeisenPair& pageLines, int threshold);

// read_template_core, then the template's name record: when its flag is 1
// the page's ruled lines are replaced by the template's (whose pair is left
// empty).  1 read (also without a names file: the template is loaded and
// its lines stay apart); 0 not read.
short read_template(TemplateContext& ctx, int number, userfld** fields, KeisenPair* lines, KeisenPair* pageLines,
                    int threshold);

// --- names ------------------------------------------------------------------

// The records of the live templates in slot order; the names file is made
// with a record per slot when missing.  The number of records, or -121,
// -122, -123, -111.
int read_template_names(const std::string& folder, std::vector<TemplateName>* names);
// The flag word of template n's record and its name; -1 when the names file
// cannot be opened (a short record gives flag 0 and leaves the name).
int read_template_name(const std::string& folder, int number, std::string* name);
// Stores (number, flag, name), making the names file first when missing.
// 1, or -121 / -122.
short write_template_name(const std::string& folder, const std::string& name, int number, int flag);

// --- navigation -------------------------------------------------------------

// The number of registered templates (slot 0 or 1); 1, 0 for an empty
// table, -123.
short count_registered_templates(int* count, int* registered, const TemplateTable& table);
// From `current`: direction 0 the first registered from current upwards, 1
// the next, -1 the previous.  Template number; -1 none in that direction;
// -2 current out of range or none found upwards; -121 no usable table.
// `errorHook` receives 2109 / 2110.
int step_template(const std::string& folder, int current, int direction,
                  const std::function<void(int)>& errorHook = {});

// --- copies -----------------------------------------------------------------

// Rectangles and parameter blocks of a field ring with their children; 1,
// -1 empty source, -111.
short copy_fld_list(const userfld* source, userfld** destination);
// Empties the destination and copies every valid line; 0 or -111.
short copy_valid_lines(const Keisen* horizontal, const Keisen* vertical, KeisenPair* destination);

// --- tables of earlier versions ---------------------------------------------

// Asks the user whether a table without the current title is to be
// converted; gives the conversion's result (0 converted), or 1 when the
// user declined.  `mode` receives 1 for 16-bit records, 2 for 32-bit.
using ConvertConfirm = std::function<bool(const std::string& folder, int* mode)>;
// 0 usable (converted when needed and the conversion succeeded), 1 declined,
// -121 no table, -123 header unreadable, or the failed conversion's status.
short check_template_table(const std::string& folder, const ConvertConfirm& confirm);
// Converts `template.tbl` and its "@@" files: 0, -121, -122, -123.
short convert_template_table(int mode, const std::string& folder);

}  // namespace layout
