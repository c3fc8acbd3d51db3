#include "formats/mime_codecs.h"

#include <gtest/gtest.h>

namespace {

TEST(MimeCodecs, Base64MatchesTheStandardVectorsBothWays) {
  const std::pair<std::string_view, std::string_view> vectors[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
      {std::string_view("\xFF\xFE\x00", 3), "//4A"},
  };
  for (auto [plain, encoded] : vectors) {
    EXPECT_EQ(mime::base64Encode(plain), encoded);
    EXPECT_EQ(mime::base64Decode(encoded), plain);
  }
}

TEST(MimeCodecs, Base64LinesAre76CharactersEndedByCrLf) {
  std::string bytes(100, 'x');  // 136 base64 characters: one full line and 60
  std::string lines = mime::base64EncodeLines(bytes);
  EXPECT_EQ(lines.find("\r\n"), 76u);
  EXPECT_EQ(lines.size(), 136u + 4u);
  EXPECT_TRUE(lines.ends_with("\r\n"));
  EXPECT_EQ(mime::base64Decode(lines), bytes);
  EXPECT_EQ(mime::base64EncodeLines(""), "");
}

TEST(MimeCodecs, Base64DecodeSkipsWhatIsNotOfTheAlphabet) {
  EXPECT_EQ(mime::base64Decode("Zm9v\r\nYmFy"), "foobar");
  EXPECT_EQ(mime::base64Decode(" Zm9v*YmE=\r\ntrailing"), "fooba");
  EXPECT_EQ(mime::base64Decode("Zm9vY"), "foo");  // a lone sextet is no byte
}

TEST(MimeCodecs, QuotedPrintableDecodesEscapesAndSoftBreaks) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"a=3Db", "a=b"},
      {"=E6=97=A5=e6=9c=ac", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {"long line=\r\ncontinued", "long linecontinued"},
      {"soft with blanks=  \ncontinued", "soft with blankscontinued"},
      {"hard\r\nbreak", "hard\r\nbreak"},
      {"bad =ZZ escape", "bad =ZZ escape"},
      {"ends in =", "ends in "},
      {"ends in =4", "ends in =4"},
  };
  for (auto [encoded, plain] : cases) EXPECT_EQ(mime::quotedPrintableDecode(encoded), plain) << encoded;
}

}  // namespace
