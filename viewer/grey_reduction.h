#pragma once
// Reduction of a 1-bit page to grey levels for display: every pixel of the
// smaller picture is the mean of the source box it covers, so a page read at
// 20 percent keeps thin strokes as grey instead of dropping them. Only the
// ink bits are visited (a scanned page is mostly paper), which makes an A4
// page of 300 dpi a matter of milliseconds where a general smooth scale
// takes hundreds.
//
//   ReduceMonoToGrey   QImage::Format_Mono (two-entry colour table) to
//                      Format_Grayscale8 of the target size (<= the source)

#include <QImage>
#include <QSize>

QImage ReduceMonoToGrey(const QImage& mono, QSize target);
