#pragma once
// CLead: the imaging control every image operation of the program goes
// through. One method per dispatch identifier the program uses; the image
// engine underneath is ours (platform/imaging over Leptonica and libtiff).
//
// Conventions kept from the control: methods return a short, 0 for success;
// colours are 0x00BBGGRR; an instance holds at most one image, which moves
// to another instance by its handle (GetImageHandle / SetImageHandle). A
// device context becomes a QPainter.
//
// The clean-up steps, as the callers use them:
//   Despeckle      removes isolated specks (dirt on the open paper) only
//   Invert         black and white swap (the scan corrections use it on 1-bit pages)
//   Deskew         straightens a page whose text lines are measurably skewed
//   ConvertToBits  (bits, colour): reduces to that many bits (the viewer's binarise: 1)
//   ClearRegion    this control keeps no region, so it has nothing to do
//   IsOperationAvailable (0): true while an image is held
// Display-only properties (2, 4, 8, 20, 104) are kept and read back; 2 turns
// repainting of the window off and on.
//
// Bits per pixel of a save (SaveFile, SaveMemory, CImageCtrl::SaveToFile and
// SaveToMemory; the colour reduction before the palette format too):
//   n > 0  that depth; the held image is converted when it has another
//          (a format that cannot hold n writes its nearest depth)
//   0      the default of the export dialogs: the held image's depth where
//          the format holds it, else the format's nearest depth. For the
//          formats whose depths are grey levels or colour (JPEG kinds, CMP,
//          FlashPix, EPS; format::namesGreyDepthZero), depth 0 is the one
//          the dialogs name "グレースケール": 8 bits of grey.
//   -1     as loaded: the held image's depth for every format (its nearest
//          where the format cannot hold it)
// Loads take 0 as "the file's own depth".
//
// Resolutions: GetXResolution/GetYResolution report the held image's, or
// after GetFileInfo the examined file's. The examined values never reach the
// held image: drawing, clean-up and saving use the image's own resolution.

#include "platform/imaging/image.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

class QPainter;

class CLead : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kClassId = "{00120000-B1BA-11CE-ABC6-F5B2E79D9E3F}";

  // Invokable, so that the control can be created from its class record.
  Q_INVOKABLE explicit CLead(QWidget* parent = nullptr);
  ~CLead() override;

  // Makes the control a child window of `parent` (which then owns it, unless
  // the caller destroys the control first). Non-zero on success.
  virtual bool Create(const std::string& windowName, unsigned style, const QRect& rect, QWidget* parent,
                      int childId);

  // properties
  void SetBackColor(std::int32_t colour);
  std::int32_t GetImageHandle();
  void SetImageHandle(std::int32_t handle);
  void SetDispid2(bool repaint);
  void SetDispid4(bool on) { dispid4_ = on; }
  bool GetDispid4() const { return dispid4_; }
  void SetDispid7(bool on) { progressEvents_ = on; }
  short GetDispid8() const { return dispid8_; }
  void SetDispid8(short value) { dispid8_ = value; }
  float GetImageWidth() const;
  float GetImageHeight() const;
  short GetDispid12() const;  // bits per pixel of the held image
  void SetDispid20(bool on) { dispid20_ = on; }
  float GetDispid21() const { return static_cast<float>(dest_.left()); }
  float GetDispid22() const { return static_cast<float>(dest_.top()); }
  float GetDispid23() const { return static_cast<float>(dest_.width()); }
  void SetDispid23(float width);
  float GetDispid24() const { return static_cast<float>(dest_.height()); }
  void SetDispid24(float height);
  float GetDispid31() const { return GetImageWidth(); }
  float GetDispid32() const { return GetImageHeight(); }
  short GetXResolution() const { return static_cast<short>(xRes_); }
  void SetXResolution(short dpi);
  short GetYResolution() const { return static_cast<short>(yRes_); }
  void SetYResolution(short dpi);
  std::int32_t GetDispid39() const { return info_.pageCount; }
  float GetDispid40() const { return static_cast<float>(info_.width); }
  float GetDispid41() const { return static_cast<float>(info_.height); }
  short GetBitsPerPixel() const { return static_cast<short>(infoBits_); }
  short GetInfoFormat() const { return static_cast<short>(info_.format); }
  std::string GetDispid46() const { return info_.compression; }
  short GetDispid98() const;  // non-zero for an image of grey levels
  void SetDispid104(short value) { dispid104_ = value; }
  short GetDispid104() const { return dispid104_; }
  void SetPaletteEntry(short index, std::int32_t colour);

  // methods
  short Despeckle();
  short ConvertToGrey(short bits);  // callers pass 8
  short Invert();
  short SaveFile(const std::string& path, short format, short bits, short quality, short multiPage);
  short Rotate(std::int32_t hundredths, short flags, std::int32_t fillColour);
  short Deskew();
  short CreateBlank(float width, float height, short bits);  // a blank image of that size and depth
  short PrintImage(QPainter* painter, float left, float top, float width, float height);
  // A painter drawing into the held image, until EndDraw puts the drawing in place.
  QPainter* BeginDraw();
  short EndDraw();
  short ConvertToBits(short bits, std::int32_t colour);
  short ResizeImage(float width, float height, short flags);  // flags choose the resampling
  short LoadFile(const std::string& path, short bits, std::int32_t page, std::int32_t pageCount);
  std::int32_t GetDibHandle();
  short ReduceColors(short bits, short paletteMode, short ditherMode, short colours);
  // The part of the image the window shows, and where in the window it is drawn.
  short SetSourceRect(float left, float top, float width, float height);
  short SetDisplayRect(float left, float top, float width, float height);
  short GetFileInfo(const std::string& path, std::int32_t page, std::int32_t flags);
  bool IsOperationAvailable(short what);
  short SaveMemory(std::int32_t* handle, short format, short bits, short quality, std::int32_t* size);
  // Loads an image file held in a global-memory block (the catalogue's thumbnails).
  short LoadMemory(std::int32_t handle, short bits, std::int32_t page, std::int32_t pageCount, std::int32_t size);
  short ClearRegion();
  short RotateDegrees(short degrees);
  // Start-up settings of the file filters.
  short SetLoadFilters(short a, short b, const std::string& filters);
  short SetExtraFilters(const std::string& filters);

  // The depth a save with `bits` writes in `format` (see the top of this
  // file): n > 0 stays, 0 is grey for the grey-or-colour formats, otherwise
  // the held image's depth.
  short ResolveSaveBits(short format, short bits) const;

  // For the image view and tests: the held image as a QImage (null when none).
  QImage heldImage() const;
  bool holdsImage() const { return image_ != nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  short loadBytes(std::shared_ptr<const std::vector<std::uint8_t>> bytes, short bits, int page);
  short replaceImage(platform::imaging::PixPtr pix);
  void takeImage(std::shared_ptr<platform::imaging::Image> image);
  short encodeHeld(short format, short bits, short quality, std::span<const std::uint8_t> existing,
                   std::vector<std::uint8_t>& out);
  Pix* heldPix() const;

  std::shared_ptr<platform::imaging::Image> image_;
  platform::imaging::FileInfo info_;
  int infoBits_ = 0;
  int xRes_ = 0;
  int yRes_ = 0;
  std::array<std::uint32_t, 256> palette_{};  // 0x00RRGGBB
  QRectF source_;
  QRectF dest_;
  QColor back_ = Qt::white;
  bool repaint_ = true;
  bool dispid4_ = false;
  bool progressEvents_ = false;
  bool dispid20_ = true;
  short dispid8_ = 0;
  short dispid104_ = 0;
  std::string filters_;
  QImage drawTarget_;
  std::unique_ptr<QPainter> drawPainter_;
  mutable QImage displayCache_;  // the held image for drawing; emptied when the image changes
};
