#include "tests/recognition/line_driver.h"

#include <QString>

#include <algorithm>
#include <vector>

#include "recognition/character_codes.h"

namespace recogtest {
using namespace recognition;

EngineImage engineImage(const testsupport::LineImage& line) {
  return EngineImage{line.bits.data(), static_cast<std::uint16_t>(line.bytesPerRow),
                     static_cast<std::uint16_t>(line.height), static_cast<std::uint16_t>(line.dpi)};
}

namespace {

std::vector<CharRect> components(const testsupport::LineImage& line) {
  std::vector<int> label(static_cast<std::size_t>(line.width) * line.height, 0);
  std::vector<CharRect> out;
  std::vector<std::pair<int, int>> stack;
  for (int y = 0; y < line.height; ++y)
    for (int x = 0; x < line.width; ++x) {
      if (!line.pixel(x, y) || label[y * line.width + x]) continue;
      CharRect r{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), static_cast<std::int16_t>(x),
                 static_cast<std::int16_t>(y)};
      label[y * line.width + x] = 1;
      stack.push_back({x, y});
      while (!stack.empty()) {
        auto [cx, cy] = stack.back();
        stack.pop_back();
        r.left = std::min<std::int16_t>(r.left, cx);
        r.right = std::max<std::int16_t>(r.right, cx);
        r.top = std::min<std::int16_t>(r.top, cy);
        r.bottom = std::max<std::int16_t>(r.bottom, cy);
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = cx + dx, ny = cy + dy;
            if (nx < 0 || ny < 0 || nx >= line.width || ny >= line.height) continue;
            if (!line.pixel(nx, ny) || label[ny * line.width + nx]) continue;
            label[ny * line.width + nx] = 1;
            stack.push_back({nx, ny});
          }
      }
      out.push_back(r);
    }
  return out;
}

CharRect unite(const CharRect& a, const CharRect& b) {
  return CharRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom)};
}

}  // namespace

LatticeLine cutLine(const testsupport::LineImage& line, LineDirection direction) {
  const bool h = direction == LineDirection::Horizontal;
  auto lo = [h](const CharRect& r) { return h ? r.left : r.top; };
  auto hi = [h](const CharRect& r) { return h ? r.right : r.bottom; };
  std::vector<CharRect> parts = components(line);
  std::sort(parts.begin(), parts.end(), [&](const CharRect& a, const CharRect& b) { return lo(a) < lo(b); });
  std::vector<CharRect> boxes;
  for (const CharRect& p : parts) {
    if (!boxes.empty() && lo(p) <= hi(boxes.back())) boxes.back() = unite(boxes.back(), p);
    else boxes.push_back(p);
  }
  LatticeLine out;
  out.rect = CharRect{static_cast<std::int16_t>(line.lineLeft), static_cast<std::int16_t>(line.lineTop),
                      static_cast<std::int16_t>(line.lineRight), static_cast<std::int16_t>(line.lineBottom)};
  out.direction = direction;
  const int cross = h ? out.rect.height() : out.rect.width();
  for (const CharRect& b : boxes) out.boxes.push_back(LatticeBox{b, {}, {}});
  const int n = static_cast<int>(out.boxes.size());
  for (int i = 0; i < n; ++i) {
    CharRect span = out.boxes[i].rect;
    for (int j = i + 1; j < n && j < i + 4; ++j) {
      span = unite(span, out.boxes[j].rect);
      if (hi(span) - lo(span) + 1 > cross * 3 / 2) break;
      out.boxes[i].alternatives.push_back(LatticeAlternative{span, {}, j + 1});
    }
  }
  return out;
}

std::string readLine(JapaneseEngine& engine, const testsupport::LineImage& line, LineDirection direction,
                     std::uint16_t kindMask) {
  const EngineImage image = engineImage(line);
  FieldLattice field;
  field.lines.push_back(cutLine(line, direction));
  LatticeLine& l = field.lines.front();
  if (const int s = engine.setFieldParams(kindMask, 0, 0); s < 1) return "<status " + std::to_string(s) + ">";
  if (const int s = engine.beginLine(image, l.rect, direction); s < 1) return "<status " + std::to_string(s) + ">";
  for (LatticeBox& box : l.boxes) {
    if (const int s = engine.readCell(image, box.rect, box.result); s < 1)
      return "<status " + std::to_string(s) + ">";
    for (LatticeAlternative& alt : box.alternatives)
      if (const int s = engine.readCell(image, alt.rect, alt.result); s < 1)
        return "<status " + std::to_string(s) + ">";
  }
  engine.endLine();
  if (const int s = engine.resolveLattice(image, field); s < 1) return "<status " + std::to_string(s) + ">";
  std::string text;
  for (const RecognizedChar& c : l.characters) text += utf8OfCode(c.result.best());
  return text;
}

EditCount characterErrors(const std::string& reference, const std::string& recognized) {
  const std::u32string a = QString::fromStdString(reference).normalized(QString::NormalizationForm_KC).toStdU32String();
  const std::u32string b = QString::fromStdString(recognized).normalized(QString::NormalizationForm_KC).toStdU32String();
  std::vector<int> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const int up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return EditCount{row[b.size()], static_cast<int>(a.size())};
}

DictionaryPaths dictionaryPaths(const std::string& folder, const std::string& learning) {
  return DictionaryPaths{folder + "/nimba10red.lin",      folder + "/nimba10yellow.lin",
                         folder + "/nimba10green.lin",    folder + "/nimba10blue.lin",
                         learning + "/nimba10lrn.lin",    folder + "/nimba10redspl.lin",
                         folder + "/nimba10yellowspl.lin", folder + "/nimba10greenspl.lin",
                         learning + "/nimba10lrnspl.lin"};
}

}  // namespace recogtest
