// Ruled-line extraction; see ruled_lines.h.
#include "layout/ruled_lines.h"

#include "layout/keisen_lists.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/parameter_tables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr std::array<std::uint8_t, 256> makeCounts() {
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    int n = 0;
    for (int i = 0; i < 8; ++i) n += (b >> i) & 1;
    t[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(n);
  }
  return t;
}

// Offset of the first (leftmost) black pixel of a byte; 8 for a white byte.
constexpr std::array<std::uint8_t, 256> makeFirstBlack() {
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    int i = 0;
    while (i < 8 && !(b & (0x80 >> i))) ++i;
    t[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(i);
  }
  return t;
}

constexpr auto kBlackCount = makeCounts();
constexpr auto kFirstBlack = makeFirstBlack();

int p(int number) { return layout::parameterTables().set1(number); }

struct OutOfMemory {};

class Extraction {
 public:
  Extraction(const ImageDesc& image, Keisen*& horizontal, Keisen*& vertical)
      : img_(image), width_(image.bytesPerRow * 8), h_(horizontal), v_(vertical) {}

  void run(int scale, int dpi) {
    // Both ends are pixels of the line, so a line's length counts both.
    findHorizontal();
    dropShort(h_, [](const Keisen* k) { return k->b - k->a + 1; }, p(6));
    checkHorizontal();
    multiply(h_, scale);
    findVertical();
    dropShort(v_, [](const Keisen* k) { return k->c - k->b + 1; }, p(19));
    checkVertical();
    multiply(v_, scale);
    dropNearBorder(scale, dpi);
    sort_hlines(h_);
    sort_vlines(v_);
  }

 private:
  const std::uint8_t* row(int y) const { return img_.bits + static_cast<std::size_t>(y) * img_.bytesPerRow; }

  Keisen* append(Keisen*& head, int a, int b, int c) {
    Keisen* k = (&head == &h_) ? append_hline(&head) : append_vline(&head);
    if (k == nullptr) throw OutOfMemory{};
    k->a = static_cast<std::int16_t>(a);
    k->b = static_cast<std::int16_t>(b);
    k->c = static_cast<std::int16_t>(c);
    k->valid = 1;
    return k;
  }

  // ---- horizontal

  void findHorizontal() {
    const int gapLimit = p(1);
    const int blackPixels = p(2);
    const int shortest = p(3);
    for (int y = 0; y < img_.height; ++y) {
      const std::uint8_t* r = row(y);
      int start = -1;
      int bytes = 0;
      int gap = 0;
      auto finish = [&] {
        // The right end is the run's last pixel.
        if (bytes >= shortest) recordHorizontal(start * 8, start * 8 + bytes * 8 - 1, y);
        start = -1;
      };
      for (int i = 0; i < img_.bytesPerRow; ++i) {
        if (kBlackCount[r[i]] >= blackPixels) {
          if (start < 0) {
            start = i;
            bytes = 1;
          } else {
            bytes += gap + 1;
          }
          gap = 0;
        } else if (start >= 0) {
          if (++gap > gapLimit) finish();
        }
      }
      if (start >= 0) finish();
    }
  }

  void recordHorizontal(int x1, int x2, int y) {
    const int reachX = p(4);
    const int yl = std::max(y - p(5), 0);
    const int yr = std::min(y + p(5), img_.height - 1);
    bool absorbed = true;
    while (absorbed && h_ != nullptr) {
      absorbed = false;
      const int xl = std::max(x1 - reachX, 0);
      const int xr = std::min(x2 + reachX, width_ - 1);
      // The list is in row order and new rows come last: look back from the
      // tail over the rows inside the window.
      for (Keisen* k = h_->prev; k != h_ && k->c >= yl; k = k->prev) {
        if (k->c <= yr && k->a <= xr && k->b >= xl) {
          x1 = std::min<int>(x1, k->a);
          x2 = std::max<int>(x2, k->b);
          drop_keisen(k);
          absorbed = true;
          break;
        }
      }
    }
    append(h_, x1, x2, y);
  }

  void checkHorizontal() {
    if (h_ == nullptr) return;
    for (Keisen* k = h_->next; k != h_; k = k->next) {
      const int length = k->b - k->a + 1;
      const int w = std::clamp(length * p(7) / 100, p(9), p(8));
      const int h = std::clamp(length * p(10) / 1000, p(12), p(11));
      int c1 = std::max(((k->a + k->b) / 2 - w) / 8, k->a / 8);
      int c2 = std::min(c1 + w / 4, k->b / 8);
      c1 = std::clamp(c1, 0, img_.bytesPerRow - 1);
      c2 = std::clamp(c2, 0, img_.bytesPerRow - 1);
      const int y1 = std::max(k->c - h, 0);
      const int y2 = std::min(k->c + 1, img_.height - 1);
      int best = -1;
      int bestRow = k->c;
      for (int y = y1; y <= y2; ++y) {
        const std::uint8_t* r = row(y);
        int sum = 0;
        for (int c = c1; c <= c2; ++c) sum += kBlackCount[r[c]];
        if (sum > best) {
          best = sum;
          bestRow = y;
        }
      }
      if (best * 100 <= ((c2 - c1) * 8 + 8) * p(13)) {
        k = drop_keisen(k);
      } else {
        k->c = static_cast<std::int16_t>(bestRow);
      }
    }
  }

  // ---- vertical

  struct Candidate {
    int column;
    int x;
    int y1;
    int y2;
  };

  struct ColumnRun {
    int start = -1;
    int rows = 0;
    int gap = 0;
    int offsets = 0;
    int blackBytes = 0;
  };

  void findVertical() {
    const int gapLimit = p(15);
    const int shortest = p(16);
    std::vector<ColumnRun> runs(static_cast<std::size_t>(img_.bytesPerRow));
    std::vector<Candidate> found;
    auto finish = [&](int c, ColumnRun& run) {
      if (run.rows >= shortest) {
        found.push_back({c, c * 8 + run.offsets / run.blackBytes, run.start, run.start + run.rows - 1});
      }
      run.start = -1;
    };
    // Row by row over all byte columns: the same runs as a scan down each
    // column, read in memory order.
    for (int y = 0; y < img_.height; ++y) {
      const std::uint8_t* r = row(y);
      for (int c = 0; c < img_.bytesPerRow; ++c) {
        ColumnRun& run = runs[static_cast<std::size_t>(c)];
        const std::uint8_t b = r[c];
        if (b != 0) {
          if (run.start < 0) {
            run.start = y;
            run.rows = 1;
            run.offsets = 0;
            run.blackBytes = 0;
          } else {
            run.rows += run.gap + 1;
          }
          run.gap = 0;
          run.offsets += kFirstBlack[b];
          ++run.blackBytes;
        } else if (run.start >= 0 && ++run.gap >= gapLimit) {
          finish(c, run);
        }
      }
    }
    for (int c = 0; c < img_.bytesPerRow; ++c) {
      ColumnRun& run = runs[static_cast<std::size_t>(c)];
      if (run.start >= 0) finish(c, run);
    }
    // Recorded column by column, each column's runs top to bottom.
    std::stable_sort(found.begin(), found.end(),
                     [](const Candidate& a, const Candidate& b) { return a.column < b.column; });
    for (const Candidate& cand : found) recordVertical(cand.x, cand.y1, cand.y2);
  }

  void recordVertical(int x, int y1, int y2) {
    const int xl = std::max(x - p(17), 0);
    const int xr = std::min(x + p(17), width_ - 1);
    bool absorbed = true;
    while (absorbed && v_ != nullptr) {
      absorbed = false;
      const int yl = std::max(y1 - p(18), 0);
      const int yr = std::min(y2 + p(18), img_.height - 1);
      for (Keisen* k = v_->next; k != v_; k = k->next) {
        if (k->a >= xl && k->a <= xr && k->b <= yr && k->c >= yl) {
          y1 = std::min<int>(y1, k->b);
          y2 = std::max<int>(y2, k->c);
          drop_keisen(k);
          absorbed = true;
          break;
        }
      }
    }
    append(v_, x, y1, y2);
  }

  void checkVertical() {
    if (v_ == nullptr) return;
    for (Keisen* k = v_->next; k != v_; k = k->next) {
      const int length = k->c - k->b + 1;
      const int h = std::clamp(length * p(20) / 100, p(22), p(21));
      const int w = std::clamp(length * p(23) / 1000, p(25), p(24));
      const int c1 = std::max((k->a - w) / 8, 0);
      const int c2 = std::min(k->a / 8 + 1, img_.bytesPerRow - 1);
      int y1 = std::max((k->b + k->c) / 2 - h, static_cast<int>(k->b));
      int y2 = std::min(y1 + 2 * h, static_cast<int>(k->c));
      y1 = std::clamp(y1, 0, img_.height - 1);
      y2 = std::clamp(y2, 0, img_.height - 1);
      int best = -1;
      int bestColumn = k->a;
      for (int x = c1 * 8; x < (c2 + 1) * 8; ++x) {
        const int byte = x / 8;
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (x % 8));
        int count = 0;
        for (int y = y1; y <= y2; ++y) count += (row(y)[byte] & mask) != 0;
        if (count > best) {
          best = count;
          bestColumn = x;
        }
      }
      if (best * 100 <= (y2 - y1 + 1) * p(26)) {
        k = drop_keisen(k);
      } else {
        k->a = static_cast<std::int16_t>(bestColumn);
      }
    }
  }

  // ---- common

  template <typename Length>
  static void dropShort(Keisen* head, Length length, int shortest) {
    if (head == nullptr) return;
    for (Keisen* k = head->next; k != head; k = k->next) {
      if (length(k) < shortest) k = drop_keisen(k);
    }
  }

  static void multiply(Keisen* head, int scale) {
    if (head == nullptr || scale == 1) return;
    for (Keisen* k = head->next; k != head; k = k->next) {
      k->a = static_cast<std::int16_t>(k->a * scale);
      k->b = static_cast<std::int16_t>(k->b * scale);
      k->c = static_cast<std::int16_t>(k->c * scale);
    }
  }

  void dropNearBorder(int scale, int dpi) {
    const int edge = static_cast<int>(std::trunc(50.0 * dpi * 4 / 100 / 10));  // 5 mm
    const int height = img_.height * scale;
    const int width = img_.bytesPerRow * scale * 8;
    if (h_ != nullptr) {
      for (Keisen* k = h_->next; k != h_; k = k->next)
        if (k->c <= edge || k->c >= height - 1 - edge) k = drop_keisen(k);
    }
    if (v_ != nullptr) {
      for (Keisen* k = v_->next; k != v_; k = k->next)
        if (k->a <= edge || k->a >= width - 1 - edge) k = drop_keisen(k);
    }
  }

  const ImageDesc& img_;
  int width_;
  Keisen*& h_;
  Keisen*& v_;
};

}  // namespace

short extract_ruled_lines(int scale) {
  auto& state = layout::layoutState();
  if (scale != 1 && scale != 2) return layout::kStatusNothing;
  const ImageDesc& image = state.images[scale == 1 ? 0 : 1];
  if (image.bits == nullptr || image.bytesPerRow == 0 || image.height == 0) return layout::kStatusNothing;
  scale_param_set1(scale, state.dpi);
  free_hline_list(&state.hLines);
  free_vline_list(&state.vLines);
  try {
    Extraction(image, state.hLines, state.vLines).run(scale, state.dpi);
  } catch (const OutOfMemory&) {
    free_hline_list(&state.hLines);
    free_vline_list(&state.vLines);
    return layout::kStatusNoMemory;
  } catch (const std::bad_alloc&) {
    free_hline_list(&state.hLines);
    free_vline_list(&state.vLines);
    return layout::kStatusNoMemory;
  }
  if (count_hlines(state.hLines) == 0 && count_vlines(state.vLines) == 0) {
    free_hline_list(&state.hLines);
    free_vline_list(&state.vLines);
  }
  return layout::kStatusDone;
}

namespace {

void put32(std::uint8_t* at, int v) {
  const auto u = static_cast<std::uint32_t>(v);
  at[0] = static_cast<std::uint8_t>(u);
  at[1] = static_cast<std::uint8_t>(u >> 8);
  at[2] = static_cast<std::uint8_t>(u >> 16);
  at[3] = static_cast<std::uint8_t>(u >> 24);
}

int get32(const std::uint8_t* at) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
                                   (static_cast<std::uint32_t>(at[2]) << 16) |
                                   (static_cast<std::uint32_t>(at[3]) << 24));
}

constexpr int kRecordBytes = 16;

// A line's coordinates are 16-bit: a record beyond that range is no line of
// this page (it would wrap round to some other place).
bool fitsLine(int v) { return v >= INT16_MIN && v <= INT16_MAX; }

}  // namespace

platform::GlobalHandle keisen_to_block(std::uint16_t* count) {
  auto& state = layout::layoutState();
  const int n = count_hlines(state.hLines) + count_vlines(state.vLines);
  if (n == 0) return 0;
  const platform::GlobalHandle block = platform::globalAlloc(static_cast<std::size_t>(n) * kRecordBytes);
  std::uint8_t* at = platform::globalLock(block);
  if (at == nullptr) return 0;
  auto write = [&](int l, int t, int r, int b) {
    put32(at, l);
    put32(at + 4, t);
    put32(at + 8, r);
    put32(at + 12, b);
    at += kRecordBytes;
  };
  if (state.hLines != nullptr)
    for (Keisen* k = state.hLines->next; k != state.hLines; k = k->next) write(k->a, k->c, k->b, k->c);
  if (state.vLines != nullptr)
    for (Keisen* k = state.vLines->next; k != state.vLines; k = k->next) write(k->a, k->b, k->a, k->c);
  platform::globalUnlock(block);
  if (count != nullptr) *count = static_cast<std::uint16_t>(n);
  return block;
}

short keisen_from_block(platform::GlobalHandle block, int count) {
  const std::uint8_t* at = platform::globalLock(block);
  if (at == nullptr) return layout::kStatusNoImage;
  auto& state = layout::layoutState();
  free_hline_list(&state.hLines);
  free_vline_list(&state.vLines);
  const int held = static_cast<int>(std::min<std::size_t>(platform::globalSize(block) / kRecordBytes, 0x7FFF));
  short status = 0;
  for (int i = 0; i < std::min(count, held); ++i, at += kRecordBytes) {
    const int left = get32(at), top = get32(at + 4), right = get32(at + 8), bottom = get32(at + 12);
    if (left < 0 || !fitsLine(top) || !fitsLine(right) || !fitsLine(bottom) || !fitsLine(left)) continue;
    if (top == bottom) {
      Keisen* k = append_hline(&state.hLines);
      if (k == nullptr) {
        status = layout::kStatusNoMemory;
        break;
      }
      k->a = static_cast<std::int16_t>(left), k->b = static_cast<std::int16_t>(right), k->c = static_cast<std::int16_t>(top);
    } else if (left == right) {
      Keisen* k = append_vline(&state.vLines);
      if (k == nullptr) {
        status = layout::kStatusNoMemory;
        break;
      }
      k->a = static_cast<std::int16_t>(left), k->b = static_cast<std::int16_t>(top), k->c = static_cast<std::int16_t>(bottom);
    }
  }
  platform::globalUnlock(block);
  return status;
}
