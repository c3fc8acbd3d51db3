// The viewer's OCR of a region: the region's image goes to the OCR work
// file as a black-and-white BMP, the OCR settings dialog reads it, and its
// text goes to the attached text or the comment.

#include "viewer/image_view.h"

#include "platform/imaging/image.h"
#include "platform/program_folder.h"
#include "shell/app_profile.h"
#include "shell/image_ctrl.h"
#include "shell/ocr_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <leptonica/allheaders.h>

namespace img = platform::imaging;

namespace {

constexpr const char* kOutputToKey = "OcrParamOutputTo";

}  // namespace

bool ImageView::RecogniseRegion(const QRect& requested) {
  const QRect region = requested.normalized().intersected(QRect(QPoint(0, 0), imageSize()));
  const std::shared_ptr<img::Image> held = img::findImage(ctrl_->GetImageHandle());
  if (region.isEmpty() || !held || !held->pix()) return false;
  emit prompt(QStringLiteral("画像を処理しています"));
  BOX* box = boxCreate(region.x(), region.y(), region.width(), region.height());
  img::PixPtr part(pixClipRectangle(held->pix(), box, nullptr));
  boxDestroy(&box);
  if (part && pixGetDepth(part.get()) != 1) part.reset(pixConvertTo1(part.get(), 128));
  const std::string folder = workFolder_.empty() ? platform::workFolder(platform::workfolder::kTmp) : workFolder_;
  QDir().mkpath(QString::fromStdString(folder));
  const std::string work = folder + "/OCR.BMP";
  if (!part) {
    emit prompt(QString());
    return false;
  }
  pixSetResolution(part.get(), held->xResolution(), held->yResolution());
  const bool written = pixWrite(work.c_str(), part.get(), IFF_BMP) == 0;
  part.reset();
  bool stored = false;
  if (written) {
    const auto profile = OpenAppProfile();
    OcrParams params = ReadOcrParams();
    const int target = profile->value(BrowserKey(QString::fromLatin1(kOutputToKey)), 0).toInt();
    OcrSettingsDlg dialog(platform::workFolder(platform::workfolder::kOcrOcx) + "/", work, xResolution(), this);
    dialog.SetParams(params, target);
    emit prompt(QStringLiteral("OCR起動中"));
    const int answer = ocrDialogRunner_ ? ocrDialogRunner_(dialog) : dialog.exec();
    SaveOcrParams(dialog.controls().Get());
    profile->setValue(BrowserKey(QString::fromLatin1(kOutputToKey)), dialog.outputTarget());
    if (answer == QDialog::Accepted && dialog.succeeded()) {
      emit ocrTextRecognised(QString::fromStdString(dialog.resultText()), dialog.outputTarget());
      stored = true;
    }
  }
  QFile::remove(QString::fromStdString(work));
  emit prompt(QString());
  viewport()->update();
  return stored;
}
