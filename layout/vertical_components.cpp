// Vertical writing: components, area limits, ruled lines; see
// vertical_components.h.
#include "layout/vertical_components.h"

#include "layout/component_steps.h"
#include "layout/layout_status.h"
#include "layout/line_field_steps.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "layout/ring.h"
#include "layout/step_support.h"

#include <algorithm>

using layout::kStatusDone;
using layout::liesInside;
using layout::RingOrder;

namespace {

constexpr RingOrder kColumns = RingOrder::ByRightDesc;

// Parameter set 4 numbers of the component steps.
constexpr int kSpeckSize = 1;
constexpr int kLongPercent = 2;
constexpr int kThinPercent = 3;
constexpr int kBigHeight = 4;
constexpr int kBigWidth = 5;
constexpr int kAspectPercent = 6;
constexpr int kPageShare = 7;

// Small figures lose their contents up to this size, both ways.
constexpr int kSmallFigureMm = 60;
// In area mode a character is never larger than this.
constexpr int kAreaCharacterMm = 10;

layout::PieceLimits verticalShapes() {
  const auto& p = layout::parameterTables().set4;
  layout::PieceLimits limits{};
  limits.aspectPercent = p(kAspectPercent);
  limits.longPercent = p(kLongPercent);
  limits.thinPercent = p(kThinPercent);
  limits.speck = p(kSpeckSize);
  return limits;
}

}  // namespace

short sort_vComponents(layctx* ctx) {
  const auto& p = layout::parameterTables().set4;
  layout::PieceLimits limits = verticalShapes();
  limits.frameTest = true;
  limits.frameWidth = ctx->page.widthPixels() * p(kPageShare) / 100;
  limits.frameHeight = ctx->page.height * p(kPageShare) / 100;
  limits.textHeight = p(kBigHeight);
  limits.textWidth = p(kBigWidth);
  return classify_pieces(ctx, limits);
}

short sort_vComponents_area(layctx* ctx, const Rect16* areaRect, short margin) {
  const int most = layout::mmToPixels(kAreaCharacterMm, ctx->page.dpi);
  const int less = ctx->params.byte(ParamBlock::kNoHorizontalMargin) == 1 ? 0 : 3 * margin;
  layout::PieceLimits limits = verticalShapes();
  limits.textHeight = std::min(layout::rectHeight(*areaRect) - less, most);
  limits.textWidth = std::min(layout::rectWidth(*areaRect) - less, most);
  return classify_pieces(ctx, limits);
}

short drop_vSeparators_on_text(layctx* ctx) { return drop_separators_on_text(ctx, kColumns); }

short absorb_vLargeComponents(layctx* ctx) {
  if (layout::ringEmpty(ctx->textList)) return kStatusDone;
  return absorb_figure_contents(ctx, kSmallFigureMm, kColumns);
}

short drop_vNestedComponents(layctx* ctx) { return drop_nested_components(ctx, kColumns); }

short merge_vOverlaps(rect_record** list, short distance, short minOverlap) {
  return merge_overlapping_components(list, distance, minOverlap, kColumns);
}

short merge_vLargeBlocks(rect_record** list, layctx* ctx) { return merge_regions(list, ctx); }

short absorb_vSpecks_once(layctx* ctx) {
  rect_record* text = ctx->textList;
  rect_record* specks = ctx->speckList;
  if (layout::ringEmpty(text) || layout::ringEmpty(specks)) return kStatusDone;
  for (rect_record* s = specks->next; s != specks; s = s->next) {
    for (const rect_record* c = text->next; c != text && !layout::liesPast(kColumns, *c, *s); c = c->next) {
      if (liesInside(*s, *c)) {
        s = drop_rect(s);
        break;
      }
    }
  }
  return kStatusDone;
}

short absorb_vSpecks(layctx* ctx) {
  // Repeated until a pass leaves the count of characters as it was.
  int before = 0;
  for (;;) {
    absorb_vSpecks_once(ctx);
    const int count = count_rects(ctx->textList);
    if (count == before) return static_cast<short>(count);
    before = count;
  }
}

short drop_vExcluded(layctx* ctx, const recg* blockRing, const Rect16* areaOwnRect) {
  if (layout::ringEmpty(ctx->textList)) return kStatusDone;
  return drop_excluded_components(ctx, blockRing, areaOwnRect);
}

short keep_vInsideArea(layctx* ctx, const Rect16* areaOwnRect) {
  return drop_components_outside_area(ctx, areaOwnRect);
}

short clip_vRules(KeisenPair* rules, layctx* ctx, const Rect16* areaRect) {
  return drop_keisen_outside_area(rules, ctx, areaRect);
}

short check_vRules(KeisenPair* rules, layctx* ctx, const Rect16* areaRect) {
  // Vertical lines run along the columns: only 40 percent of crossing text
  // makes one a stroke, in page mode as in an area.
  constexpr int kVerticalShare = 40;
  const int horizontalShare = ctx->areaMode() ? 40 : 8;
  return check_rules_against_text(rules, ctx, areaRect, RuleCheck{horizontalShare, kVerticalShare, false});
}

short vRules_to_separators(const KeisenPair* rules, layctx* ctx) { return keisen_to_separators(rules, ctx); }
