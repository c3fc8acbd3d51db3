#pragma once
// Gathering the images of an OCR run and converting them into the "ocrin"
// work folder in the form the recogniser reads.
//
//   CollectOcrPages       the image pages of a selection, stamped as accessed
//   PrepareOcrFolder      "ocrin", emptied
//   PrepareImagesForOcr   each image converted; one that cannot be loaded
//                         leaves the run

#include "shell/ocr_batch.h"

#include <functional>
#include <limits>
#include <string>
#include <vector>

class CLead;
class DocumentSelection;

// The image pages (ImageLevel 1) of the selected documents, a stack's in
// page order. Collecting stops once more than `limit` are taken, so that
// the caller sees that the selection was larger. The documents that gave
// an image are stamped as accessed today. False after a catalogue error.
bool CollectOcrPages(DocumentSelection& selection, std::vector<OcrPage>& out,
                     std::size_t limit = std::numeric_limits<std::size_t>::max());

// The work folder, created anew and empty; its path with a trailing slash
// (empty when it cannot be made).
std::string PrepareOcrFolder();

// Converts every page into ocrIn and sets its prepared path and resolution
// (the image's, clamped to 200..400 dpi; a BMP that states none and reads
// as 150 dpi takes bmpResolution). keepGrey false reduces every image to
// black and white; keepColour false keeps no colour (else 24-bit images go
// as JPEG). A page that cannot be loaded is dropped from the list, so
// nothing is ever written under its name. onImage(i) runs before image i
// (0-based) and may pump events.
void PrepareImagesForOcr(CLead& ctrl, std::vector<OcrPage>& pages, const std::string& ocrIn, bool keepGrey,
                         bool keepColour, int bmpResolution, const std::function<void(int)>& onImage = {});
