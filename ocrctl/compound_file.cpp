#include "ocrctl/compound_file.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <cstring>
#include <memory>
#include <mutex>

namespace ocrctl {

namespace {

void ensureGsf() {
  static std::once_flag once;
  std::call_once(once, [] { gsf_init(); });
}

struct Unref {
  void operator()(void* object) const {
    if (object != nullptr) g_object_unref(object);
  }
};
template <typename T>
using GPtr = std::unique_ptr<T, Unref>;

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

}  // namespace

bool isCompoundFile(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= sizeof kSignature && std::memcmp(bytes.data(), kSignature, sizeof kSignature) == 0;
}

bool readCompound(std::span<const std::uint8_t> bytes, Streams& out) {
  if (!isCompoundFile(bytes)) return false;
  ensureGsf();
  GPtr<GsfInput> input(gsf_input_memory_new(bytes.data(), static_cast<gsf_off_t>(bytes.size()), FALSE));
  if (!input) return false;
  GError* error = nullptr;
  GPtr<GsfInfile> file(gsf_infile_msole_new(input.get(), &error));
  if (error != nullptr) g_error_free(error);
  if (!file) return false;
  Streams streams;
  const int children = gsf_infile_num_children(file.get());
  for (int i = 0; i < children; ++i) {
    GPtr<GsfInput> child(gsf_infile_child_by_index(file.get(), i));
    const char* name = gsf_infile_name_by_index(file.get(), i);
    if (!child || name == nullptr) return false;
    // Storages are not streams of ours; they are passed over.
    if (GSF_IS_INFILE(child.get()) && gsf_infile_num_children(GSF_INFILE(child.get())) >= 0) continue;
    const gsf_off_t size = gsf_input_size(child.get());
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxStreamBytes) return false;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(size));
    if (size > 0 && gsf_input_read(child.get(), static_cast<std::size_t>(size), data.data()) == nullptr) return false;
    streams[name] = std::move(data);
  }
  out = std::move(streams);
  return true;
}

bool writeCompound(const OrderedStreams& streams, std::vector<std::uint8_t>& out) {
  ensureGsf();
  GPtr<GsfOutput> sink(gsf_output_memory_new());
  if (!sink) return false;
  bool ok = true;
  {
    GPtr<GsfOutfile> file(gsf_outfile_msole_new(sink.get()));
    if (!file) return false;
    for (const auto& [name, data] : streams) {
      GPtr<GsfOutput> child(gsf_outfile_new_child(GSF_OUTFILE(file.get()), name.c_str(), FALSE));
      if (!child) {
        ok = false;
        break;
      }
      if (!data.empty() && !gsf_output_write(child.get(), data.size(), data.data())) ok = false;
      if (!gsf_output_close(child.get())) ok = false;
      if (!ok) break;
    }
    if (!gsf_output_close(GSF_OUTPUT(file.get()))) ok = false;
  }
  if (!ok) return false;
  const guint8* bytes = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
  const gsf_off_t size = gsf_output_size(sink.get());
  if (bytes == nullptr || size <= 0) return false;
  out.assign(bytes, bytes + size);
  // Closing the compound file closed the memory sink beneath it already.
  if (!gsf_output_is_closed(sink.get())) gsf_output_close(sink.get());
  return true;
}

}  // namespace ocrctl
