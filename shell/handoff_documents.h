#pragma once
// Hand-offs of images to the sibling applications: the card reader
// (Cardello), the OCR application (Lumora) and the handwriting application
// (Penwise). The program never talks to them: it converts the images into
// files they read, writes a list file with one image path per line
// (Shift-JIS, CR LF), and starts the application's launcher with "@" and the
// list file's path as its one argument.
//
//   HandOffLimit        how many images one hand-off takes
//   WriteHandOffList    the list file, written whole or not at all
//   ConvertImageToBmp   one image as a BMP (own depth or black and white)
//   SendToCardello, SendToLumora, SendToPenwise   the hand-offs

#include <string>
#include <vector>

class CFD3Doc;
class CLead;

enum class HandOffTarget { Lumora, Cardello, Penwise };

inline constexpr const char* kCardLauncher = "runhostcdl.exe";
inline constexpr const char* kOcrLauncher = "runhostch2.exe";
inline constexpr const char* kHandwritingLauncher = "runhostpnw.exe";

// The most images one OCR hand-off or OCR run takes: 100 when the OCR
// application's level is 7 or more, else 50. The card application takes
// 100 whatever its version; the handwriting application has no limit (0).
int HandOffLimit(int ocrLevel);
int HandOffLimitOf(HandOffTarget target, int ocrLevel);
// The application's name, the caption of its messages.
const char* HandOffName(HandOffTarget target);

// Writes each path as a Shift-JIS line ended by CR LF into a temporary file
// beside path, then puts it in place. False (nothing left at path) when a
// path has no Shift-JIS form or the file cannot be written.
bool WriteHandOffList(const std::string& path, const std::vector<std::string>& lines);

// The name a converted copy of source takes in folder: the file's own
// name, its extension made `extension` (".BMP") unless it already is (any
// case), numbered when the name is taken.
std::string ConvertedCopyName(const std::string& source, const std::string& folder, const std::string& extension);

// Converts page 1 of source into folder: the file's own name, its extension
// made `extension` (".BMP") unless it already is (any case), numbered when
// the name is taken. blackWhite reduces to 1 bit with a black-and-white
// palette; otherwise the image keeps its depth (1, 4, 8, 16, 24 or 32 bits,
// else 8) and a BMP source is copied as it is. Empty when the image cannot
// be read (reportBroken shows "エラーが発生しました。..." then).
std::string ConvertImageToBmp(CLead& ctrl, const std::string& source, const std::string& folder, bool blackWhite,
                              bool reportBroken, const std::string& extension = ".BMP", short format = 6);

// The hand-offs; true when the launcher was started. A missing application
// or a list file that cannot be written is told to the user.
bool SendToCardello(CFD3Doc& document, const std::vector<std::string>& paths);
bool SendToLumora(CFD3Doc& document, const std::vector<std::string>& paths);
bool SendToPenwise(CFD3Doc& document, const std::vector<std::string>& paths, const std::string& programPath);
