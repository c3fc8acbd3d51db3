// Paints the layout library's overlay items (layout/overlay_item.h) with a
// QPainter: what a host view calls from its paint handling, and what the
// template image window paints its picture with.
#pragma once

#include "layout/overlay_item.h"

#include <QColor>

#include <cstddef>

class QPainter;

namespace layout::dialogs {

// A COLORREF (red in the low byte) as a QColor.
QColor colourOf(std::uint32_t colorref);

// Paints `count` items in order.  XOR items need a raster paint device (a
// QImage or a raster widget); elsewhere they are painted plainly.
__attribute__((visibility("default"))) void paintOverlay(QPainter& painter, const VuOverlayItem* items,
                                                         std::size_t count);

}  // namespace layout::dialogs
