// Drawing a web page, a MIME HTML archive or a mail into the thumbnail's
// image: what the page may show (its own pictures and style sheets, the
// parts of an archive or a mail), what it may not (anything else on the
// machine, devices, FIFOs), and the time limit of the whole drawing.

#include "formats/html_page_document.h"
#include "formats/mht_converter.h"
#include "formats/mime_codecs.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"
#include "shell/image_ctrl.h"
#include "shell/import_dialogs.h"
#include "tests/support/child_process.h"
#include "tests/support/test_env.h"

#include <QBuffer>
#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

using testsupport::writeFile;

bool writeSquare(const std::string& path, QColor colour, int side = 60) {
  QImage image(side, side, QImage::Format_RGB32);
  image.fill(colour);
  return image.save(QString::fromStdString(path), "PNG");
}

std::string squareBytes(QColor colour) {
  QImage image(60, 60, QImage::Format_RGB32);
  image.fill(colour);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

// Pixels of about this colour in the drawing.
int pixelsOf(const QImage& image, QColor colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (std::abs(c.red() - colour.red()) < 30 && std::abs(c.green() - colour.green()) < 30 &&
          std::abs(c.blue() - colour.blue()) < 30)
        ++count;
    }
  return count;
}

struct Drawn {
  int result = -1;
  int loaded = 0;
  int refused = 0;
  QImage image;
};

Drawn draw(const std::string& path, const PageLimits& limits = PageLimits{}) {
  CImageCtrl ctrl;
  HtmlDrawDlg dialog;
  dialog.SetLimits(limits);
  dialog.SetSource(&ctrl, path);
  Drawn drawn;
  drawn.result = dialog.DoModal();
  drawn.loaded = dialog.loadedResources();
  drawn.refused = dialog.refusedResources();
  drawn.image = ctrl.heldImage();
  return drawn;
}

const QColor kRed(220, 20, 20);
const QColor kBlue(20, 20, 220);
const QColor kGreen(20, 200, 20);
const QColor kYellow(230, 230, 20);

// Pictures named by a page come only from its own folder, only as regular
// files: /dev/zero grew the memory without end and a FIFO held the drawing
// for ever. The drawing runs in a child, where a hang ends in an alarm.
TEST(HtmlPageDrawing, APageShowsOnlyRegularFilesOfItsOwnFolder) {
  testsupport::TempDir dir;
  const std::string site = dir.file("site");
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(site + "/.hidden")));
  ASSERT_TRUE(writeSquare(dir.file("outside.png"), kRed));
  ASSERT_TRUE(writeSquare(site + "/.hidden/green.png", kGreen));
  ASSERT_TRUE(writeSquare(site + "/blue.png", kBlue));
  ASSERT_EQ(::mkfifo((site + "/fifo.png").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(dir.file("outside.png").c_str(), (site + "/link.png").c_str()), 0);
  ASSERT_TRUE(writeFile(site + "/page.htm",
                        "<p>見出し</p><img src=\"file:///dev/zero\"><img src=\"fifo.png\"><img src=\"../outside.png\">"
                        "<img src=\"link.png\"><img src=\"" + dir.file("outside.png") + "\">"
                        "<img src=\".hidden/green.png\"><img src=\"blue.png\"><img src=\"http://example.com/x.png\">"));
  const auto end = testsupport::runInChild([&] {
    const Drawn drawn = draw(site + "/page.htm");
    return drawn.result == QDialog::Accepted && drawn.loaded == 1 && pixelsOf(drawn.image, kBlue) > 1000 &&
           pixelsOf(drawn.image, kRed) == 0 && pixelsOf(drawn.image, kGreen) == 0;
  });
  EXPECT_EQ(end, testsupport::ChildEnd::True);
}

// A received mail names the same: its pictures come from its own parts,
// by Content-ID and by Content-Location, and from nowhere else.
TEST(HtmlPageDrawing, AMailShowsThePicturesItHolds) {
  testsupport::TempDir dir;
  const std::string mail =
      "From: sato@example.jp\r\nSubject: =?utf-8?B?" + mime::base64Encode("お知らせ") +
      "?=\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=\"b1\"\r\n\r\n"
      "--b1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
      "<p>お知らせ</p><img src=\"cid:red@mail\"><img src=\"blue.png\"><img src=\"file:///dev/zero\">"
      "<img src=\"" + dir.file("green.png") + "\">\r\n"
      "--b1\r\nContent-Type: image/png\r\nContent-ID: <red@mail>\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
      mime::base64EncodeLines(squareBytes(kRed)) +
      "--b1\r\nContent-Type: image/png\r\nContent-Location: blue.png\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
      mime::base64EncodeLines(squareBytes(kBlue)) + "--b1--\r\n";
  ASSERT_TRUE(writeFile(dir.file("mail.eml"), mail));
  ASSERT_TRUE(writeSquare(dir.file("green.png"), kGreen));
  const auto end = testsupport::runInChild([&] {
    const Drawn drawn = draw(dir.file("mail.eml"));
    return drawn.result == QDialog::Accepted && drawn.loaded == 2 && pixelsOf(drawn.image, kRed) > 1000 &&
           pixelsOf(drawn.image, kBlue) > 1000 && pixelsOf(drawn.image, kGreen) == 0;
  });
  EXPECT_EQ(end, testsupport::ChildEnd::True);
}

// A page kept as MIME HTML is drawn from the archive alone, with its style
// sheet and the pictures it names, after the page's folder is gone.
TEST(HtmlPageDrawing, AnArchiveIsDrawnWithItsStyleSheetAndPictures) {
  testsupport::TempDir dir;
  const std::string site = dir.file("サイト");
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(site + "/ページ_files")));
  ASSERT_TRUE(writeSquare(site + "/ページ_files/赤.png", kRed));
  ASSERT_TRUE(writeSquare(site + "/ページ_files/tile.png", kBlue, 8));
  ASSERT_TRUE(writeFile(site + "/ページ_files/様式.css",
                        "body { background-color: #14c814 }\nh1 { color: #1414dc }\n"
                        "td { background-image: url(tile.png) }\n"));
  ASSERT_TRUE(writeFile(site + "/ページ.htm",
                        "<html><head><meta charset=utf-8><link rel=stylesheet href=\"ページ_files/様式.css\"></head>"
                        "<body><h1>見出し</h1><img src=\"ページ_files/赤.png\">"
                        "<table><tr><td>表の中身は背景の画像の上に書かれます。表の中身は背景の画像の上に書かれます。</td></tr></table>"
                        "</body></html>"));
  ASSERT_TRUE(MhtConverter().Convert(site + "/ページ.htm", dir.file("kept.mht")));
  ASSERT_TRUE(QDir(QString::fromStdString(site)).removeRecursively());

  const Drawn drawn = draw(dir.file("kept.mht"));
  ASSERT_EQ(drawn.result, QDialog::Accepted);
  EXPECT_EQ(drawn.loaded, 3) << "style sheet, picture and the sheet's tile";
  EXPECT_GT(pixelsOf(drawn.image, kGreen), 100000) << "the style sheet's background";
  EXPECT_GT(pixelsOf(drawn.image, kRed), 3000) << "the picture inside the archive";
  EXPECT_GT(pixelsOf(drawn.image, kBlue), 1000) << "the sheet's picture";
}

// The drawing has a time limit of its own: once it is spent no further
// picture is read and the page is drawn as far as it came. The clock is the
// test's: every look at it moves it on by two seconds.
TEST(HtmlPageDrawing, ThePageIsDrawnAsFarAsItCameWithinTheTimeLimit) {
  testsupport::TempDir dir;
  const QColor colours[] = {kRed, kBlue, kGreen, kYellow};
  std::string html = "<p>四枚の画像</p>";
  for (int i = 0; i < 4; ++i) {
    const std::string name = std::to_string(i) + ".png";
    ASSERT_TRUE(writeSquare(dir.file(name), colours[i]));
    html += "<img src=\"" + name + "\">";
  }
  ASSERT_TRUE(writeFile(dir.file("page.html"), html));
  std::int64_t now = 0;
  platform::setMonotonicClockForTests([&now] { return now += 2000; });
  PageLimits limits;
  limits.timeMs = 5000;
  const Drawn drawn = draw(dir.file("page.html"), limits);
  platform::setMonotonicClockForTests({});
  ASSERT_EQ(drawn.result, QDialog::Accepted);
  EXPECT_EQ(drawn.loaded, 2);
  EXPECT_GE(drawn.refused, 2);
  EXPECT_GT(pixelsOf(drawn.image, kRed), 3000);
  EXPECT_GT(pixelsOf(drawn.image, kBlue), 3000);
  EXPECT_EQ(pixelsOf(drawn.image, kGreen), 0);
  EXPECT_EQ(pixelsOf(drawn.image, kYellow), 0);
}

TEST(HtmlPageDrawing, EncodedWordsOfALocationAreDecoded) {
  const std::pair<std::string, std::string> cases[] = {
      {"=?shift_jis?B?" + mime::base64Encode(*platform::toCp932("file:///写真.png")) + "?= ", "file:///写真.png "},
      {"=?utf-8?B?" + mime::base64Encode("file:///a/") + "?=\r\n\t=?utf-8?B?" + mime::base64Encode("b.png") + "?=",
       "file:///a/b.png"},
      {"=?iso-8859-1?Q?caf=E9_x?=", "café x"},
      {"plain.png", "plain.png"},
      {"=?broken", "=?broken"},
  };
  for (const auto& [encoded, text] : cases) EXPECT_EQ(decodeEncodedWords(encoded), text) << encoded;
}

}  // namespace
