#pragma once
// What the annotation tools make, and the rules the annotation boxes keep
// while they are edited: no widgets here, the image view applies them.
//
//   DefaultAnnBox        a new box's fields before its tool sets its own
//   AnnotationFromBand   the box a drawing tool makes from a drag
//   PointerDirection     the corner the arrow's tip lies in
//   OneLineLinkText      a link box's text: one line, at most 1023 bytes
//   StoredBoxText        an empty text is kept as two spaces
//   ResizedBox           a corner dragged, never below 17 x 17
//   OpenLinkAddress      http, https and mailto only; anything else refused
//   ColorFromRef, RefFromColor   stored colours keep red in the low byte
//   AnnotationFont       a text or link box's font at a resolution and zoom

#include "catalogue/ann_box.h"

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>
#include <string>

namespace anntool {
inline constexpr int kSelect = 20;
inline constexpr int kTextBox = 21;
inline constexpr int kHighlight = 22;
inline constexpr int kRedaction = 23;
inline constexpr int kPointer = 24;
inline constexpr int kLink = 25;
}  // namespace anntool

inline constexpr int kMinAnnBoxSide = 17;
inline constexpr int kPointerMargin = 8;

AnnBox DefaultAnnBox();
int PointerDirection(QPoint start, QPoint end);
// Points in image pixels; nullopt when the tool makes nothing of them.
std::optional<AnnBox> AnnotationFromBand(int tool, QPoint start, QPoint end);
QString OneLineLinkText(const QString& text);
std::string StoredBoxText(const QString& text);
// corner: 0 top left, 1 top right, 2 bottom left, 3 bottom right.
QRect ResizedBox(const QRect& box, int corner, QPoint to);
// Opens the address with the desktop's handler; false (and the user told)
// for anything but an http, https or mailto address.
bool OpenLinkAddress(const QString& address);

QColor ColorFromRef(std::int32_t ref);
std::int32_t RefFromColor(const QColor& color);
// FontSize is in tenths of a point on the page: its pixels follow the
// image's resolution (dpi) and the zoom percent. The stored face name is
// kept as it is; the font database maps it to an installed face.
QFont AnnotationFont(const AnnBox& box, int dpi, int percent);
