// The page image record and every operation on it.  The filter reaches it
// through the C interface of cbmp.h; C++ code and the tests use the class.
#ifndef QUILLET_BMPINFO_H
#define QUILLET_BMPINFO_H

#include <cstdint>

#include "cbmp.h"

struct BMPInfo {
  int64_t width = 0;
  int64_t height = 0;
  int64_t blankHeightLast = 0;  // rows down to the last row with content
  uint16_t bitCount = 0;
  int64_t lineBytes = 0;
  unsigned char *pixels = nullptr;  // caller's page, changed in place
  int64_t bytesPerPixel = 0;
  int64_t imageSize = 0;
  unsigned char *grayBuffer = nullptr;  // owned, width x height bytes
  int64_t graySize = 0;
  OEMDEV deviceData{};
  uint8_t targetBrightness = 128;
  double gamma = 1.0;
  int32_t doOffset = 1;
  int32_t doMirror = 1;
  float offsetUnits = 8.0f;
  int32_t tileGridWidth = 0, tileGridHeight = 0;
  int32_t tileColumns = 0, tileRows = 0;
  int32_t tileWidth = 0, tileHeight = 0;
  unsigned char **tileTables = nullptr;  // tileRows x tileColumns tables of 256 bytes; not owned
  struct RowRoad;
  RowRoad *rowRoad = nullptr;  // owned: the row entry's page under way

  BMPInfo() = default;
  // The record owns its gray copy, so it is released here too.
  ~BMPInfo();
  BMPInfo(const BMPInfo &) = delete;
  BMPInfo &operator=(const BMPInfo &) = delete;

  // --- record, setters, clamps (bmpinfo.cpp)
  void CBMP_CBMPInfo();
  void CBMP_SetBMPInfo(int64_t w, int64_t h, int64_t bpp);
  void CBMP_SetBMPSource(unsigned char *data, int64_t size);
  static void RGB_to_BGR(unsigned char *data, int64_t size);
  void CBMP_SetBitCount(uint16_t bits);
  void CBMP_SetPrivateData(OEMDEV device);
  void CBMP_SetSettings(settings_ settings);
  void CBMP_SetDoOffset(int32_t flag);
  void CBMP_SetDoMirror(int32_t flag);
  void CBMP_SetOffsetUnits(float units);
  int64_t CBMP_GetBlankHeightLast() const;
  void CBMP_FreeGrayBuffer();
  void CBMP_FreeMirrorBuffer();
  void CBMP_ClearCBMPInfo();
  static int32_t ManualClamp(int32_t v);
  static uint8_t myclamp(int32_t v, int32_t low, int32_t high);
  // True when pixels holds height rows of lineBytes bytes with at least
  // minBytesPerPixel bytes per pixel, so row loops stay inside it.
  bool pageFits(int64_t minBytesPerPixel) const;

  // --- the page road (page_road.cpp): every printed page takes it
  void CBMP_UpImageInfo();
  // The page writer's entry: prepares the described page held in `data`
  // in its raster (RGB) order, without the red/blue swap of
  // CBMP_SetBMPSource, and writes it packed into height rows of
  // bytesPerRow bytes: dot 8k + i at bit 7 - i of byte k, 1 white (also
  // the pad bits).  `data` is used as scratch.  False, with nothing
  // written, when the geometry does not fit or a row is narrower than the
  // page.
  bool CBMP_PackPage(unsigned char *data, int64_t size, unsigned char *bits, int64_t bytesPerRow);
  // The row entry: the described page (3-byte RGB pixels) handed over one
  // row at a time in raster order, each row prepared as soon as the road
  // allows and packed as CBMP_PackPage packs it, without a page of
  // colour pixels.  `bits` holds bitsBytes bytes, at least height rows;
  // when it holds width x height bytes, the threshold road keeps its gray
  // page there (each packed row overwrites only gray rows already used)
  // rather than in a buffer of its own.  CBMP_StartRows is false, with
  // nothing begun, when the page cannot go this way (other pixels, an
  // offset shift, narrow rows, no memory); CBMP_FinishRows prepares what
  // remains and is false, with the packed page incomplete, when not every
  // row came.  CBMP_EndRows drops a page begun.
  bool CBMP_StartRows(unsigned char *bits, int64_t bytesPerRow, int64_t bitsBytes);
  void CBMP_PutRow(const unsigned char *row);
  // The next row as one byte a dot, for a page whose three colours are equal.
  void CBMP_PutGrayRow(const unsigned char *gray);
  bool CBMP_FinishRows();
  void CBMP_EndRows();
  // Steps shared by the entries above.
  void startPreparation();
  bool prepare(unsigned char *bits, int64_t bytesPerRow);
  void noteLastContent(int64_t lastContent);
  void putRow(const unsigned char *row, bool gray);
  void CBMP_DoOffset();
  void CBMP_UpImageInfoUI();

  // --- the toolbox (toolbox/): operations the library offers through the
  // record and the C interface that no stage of the road calls.
  // gray and tone (toolbox/tone.cpp)
  int CBMP_GrayScale();
  static int32_t GetGrayValue(int32_t red, int32_t green, int32_t blue, int32_t mode);
  int CBMP_GammaCorrection(int32_t level);
  int CBMP_AdjustBrightness();
  void CBMP_AdjustBrightnessByRGB(int32_t level);
  void CBMP_AdjustContrastByRGB(int32_t level);
  void CBMP_AdjustBrightnessAuto();
  int CBMP_LocalHistogramEqualization();
  void applyLUTsWithInterpolation(const unsigned char *source, unsigned char *destination) const;

  // sharpening (toolbox/sharpen.cpp)
  int CBMP_Sharpen() const;
  int CBMP_HighPassFilter();
  int CBMP_HighPassFilter_Laplacian();

  // binarisation (toolbox/halftone.cpp)
  void CBMP_ImageDither();
  static void OTSUThresholdCV(unsigned char *image, int64_t w, int64_t h, int64_t lineBytes_,
                              int64_t pixelSize, int32_t grayMode);
  void CBMP_ImageCluster();
  static uint8_t CBMP_GetHalftoneThreshold(uint64_t x, uint64_t y, uint64_t period);
  void CBMP_ImageGrayNone();
  int CBMP_ImageNegative();
  void CBMP_ImageBayer();
  bool CBMP_IsInside(int64_t x, int64_t y) const;
  uint8_t CBMP_BlindGetPixelIndex(int64_t x, int64_t y) const;
  void CBMP_BlindSetPixelIndex(int64_t x, int64_t y, uint8_t value);
  void CBMP_SetPixelIndex(int64_t x, int64_t y, uint8_t value);

  // geometry (toolbox/geometry.cpp)
  static unsigned char *Rotate90Degrees(const unsigned char *source, uint64_t sourceSize, int64_t w,
                                        int64_t h, uint64_t *outSize, int64_t *outWidth,
                                        int64_t *outHeight, int32_t angle);
  static unsigned char *CBMP_Rotate_24bit(const unsigned char *source, uint64_t sourceSize,
                                          int64_t w, int64_t h, uint64_t *outSize,
                                          int64_t *outWidth, int64_t *outHeight,
                                          int32_t quarterTurns);
  static unsigned char *CBMP_Scale_24bit(unsigned char *source, uint64_t sourceSize, int64_t w,
                                         int64_t h, float scale);
  int CBMP_ImageMirror(int32_t unused);
};

// Toolbox operations on buffers laid out like the page.
void LaplacianSharpen(unsigned char *image, int64_t width, int64_t height, int64_t lineBytes,
                      int64_t bytesPerPixel);
void CBMP_SharpenLaplacian(unsigned char *image, int32_t width, int32_t height);
unsigned char *GetPixelAddress(unsigned char *image, int64_t x, int64_t y, int64_t lineBytes,
                               int64_t bytesPerPixel);
void limitAverageBrightness(unsigned char *image, int64_t width, int64_t height,
                            uint16_t bitsPerPixel, int64_t lineBytes, double limit);
void scale_bmp(const unsigned char *source, int64_t sourceWidth, int64_t sourceHeight,
               unsigned char *destination, int64_t destinationWidth, int64_t destinationHeight);
uint32_t bilinear_interpolate(const unsigned char *image, int64_t width, int64_t height, float x,
                              float y);

// The page road written plainly with the toolbox (toolbox/reference.cpp);
// the tests hold the road equal to it.
namespace reference {
void UpImageInfo(BMPInfo &record);
int ImageMirror(BMPInfo &record);
void DoOffset(BMPInfo &record);
}  // namespace reference

#endif
