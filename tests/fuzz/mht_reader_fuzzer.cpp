// libFuzzer target: a MIME HTML or mail file as the full-text search reads
// it (split into text parts, then each part's text in Shift-JIS, which must
// be valid Shift-JIS whatever the part held), and the
// writer's link scanner over the same bytes as a page; every leaf as the
// page drawing reads it, and the writer's resource scanners as page and as
// style sheet.
#include "formats/html_charset.h"
#include "formats/mht_converter.h"
#include "formats/mht_reader.h"
#include "platform/sjis_codec.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  mime::parseMhtTextParts(bytes, [](const mime::MhtTextPart& part) {
    std::string text = mime::htmlTextToShiftJis(mime::charsetCommentLine(part.charset) + part.body);
    if (text.size() > part.body.size() * 2 + 64) __builtin_trap();  // conversion never balloons
    // whatever came in, what comes out is valid Shift-JIS
    if (platform::fromCp932(text).find("\xEF\xBF\xBD") != std::string::npos) __builtin_trap();
    return true;
  });
  for (const mime::HtmlReference& ref : mime::findHtmlReferences(bytes)) {
    if (ref.begin > ref.end || ref.end > bytes.size()) __builtin_trap();
    mime::localPathOfReference(bytes.substr(ref.begin, ref.end - ref.begin), "/fuzz/page");
  }
  std::size_t partBytes = 0;
  mime::parseMhtParts(bytes, [&](const mime::MhtPart& part) {
    partBytes += part.body.size();
    if (partBytes > bytes.size() * 2 + 64) __builtin_trap();  // decoding never balloons
    return true;
  });
  for (const auto& found : {mime::findHtmlResources(bytes), mime::findCssResources(bytes)})
    for (const mime::HtmlResource& r : found)
      if (r.begin > r.end || r.end > bytes.size()) __builtin_trap();
  mime::replaceMetaCharset(bytes);
  return 0;
}
