#pragma once
// The further Japanese font families the evaluations draw pages with,
// beside the Noto fonts the tests use. setup.sh unpacks their Debian
// packages into the build folder's "eval-fonts" (never installed: a second
// CJK font known to fontconfig changes the glyphs Qt picks in the program's
// own tests); BRINDEL_EVAL_FONTS names another folder. The families found
// are registered with the page renderer by file.

#include "tests/support/page_renderer.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifndef BRINDEL_EVAL_FONT_DIR
#define BRINDEL_EVAL_FONT_DIR ""
#endif

struct EvalFont {
  QString family;  // the name the pages are drawn with
  const char* file;
};

inline const std::vector<EvalFont>& evalFonts() {
  static const std::vector<EvalFont> fonts = {
      {QStringLiteral("eval IPA Mincho"), "ipam.ttf"},
      {QStringLiteral("eval IPAex Gothic"), "ipaexg.ttf"},
      {QStringLiteral("eval Takao Gothic"), "TakaoGothic.ttf"},
      {QStringLiteral("eval VL Gothic"), "VL-Gothic-Regular.ttf"},
  };
  return fonts;
}

// Registers the families whose files are there; the ones found, in the
// order of evalFonts().
inline std::vector<QString> registerEvalFonts() {
  namespace fs = std::filesystem;
  const char* env = std::getenv("BRINDEL_EVAL_FONTS");
  const fs::path root = env != nullptr && *env != 0 ? fs::path(env) : fs::path(BRINDEL_EVAL_FONT_DIR);
  std::vector<QString> found;
  std::error_code ec;
  if (root.empty() || !fs::is_directory(root, ec)) return found;
  for (const EvalFont& font : evalFonts()) {
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
      if (it->path().filename() == font.file && it->is_regular_file(ec)) {
        testpages::registerFontFile(font.family, it->path().string(), true);
        found.push_back(font.family);
        break;
      }
    }
  }
  return found;
}
