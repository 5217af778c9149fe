// The page image record: construction, reset, setters, clamps and the C
// interface that the filter uses.
#include "bmpinfo.h"

#include <cstdlib>
#include <new>

#include "imaging_util.h"

using imaging_util::mulSize;

// Releases the gray copy so that a record destroyed without a clear does
// not leak it.
BMPInfo::~BMPInfo() {
  CBMP_EndRows();
  std::free(grayBuffer);
}

// Back to the state of a new record; the tile fields are left alone.  The
// gray copy is released rather than dropped so it cannot leak.
void BMPInfo::CBMP_CBMPInfo() {
  width = 0;
  height = 0;
  bitCount = 0;
  pixels = nullptr;
  CBMP_FreeGrayBuffer();
  deviceData = OEMDEV{};
  targetBrightness = 128;
  gamma = 1.0;
  doOffset = 1;
  doMirror = 1;
  offsetUnits = 8.0f;
}

// Describes the page geometry; the whole page counts as content until the
// gray conversion finds blank rows at the bottom.
void BMPInfo::CBMP_SetBMPInfo(int64_t w, int64_t h, int64_t bpp) {
  width = w;
  height = h;
  bytesPerPixel = bpp;
  // Wraps like the plain product would, without undefined overflow; an
  // impossible geometry is refused later by pageFits.
  lineBytes = static_cast<int64_t>(static_cast<uint64_t>(bpp) * static_cast<uint64_t>(w));
  blankHeightLast = h;
}

// Hands the page buffer to the record and turns its RGB pixels into BGR.
void BMPInfo::CBMP_SetBMPSource(unsigned char *data, int64_t size) {
  pixels = data;
  imageSize = size;
  if (data && size > 0) RGB_to_BGR(data, size);
}

// Exchanges bytes 0 and 2 of every whole group of three; a trailing
// incomplete group is left as it is so nothing past the buffer is touched.
void BMPInfo::RGB_to_BGR(unsigned char *data, int64_t size) {
  if (!data) return;
  for (int64_t i = 0; i + 3 <= size; i += 3) {
    unsigned char t = data[i];
    data[i] = data[i + 2];
    data[i + 2] = t;
  }
}

// Stores the bits per pixel of the source raster.
void BMPInfo::CBMP_SetBitCount(uint16_t bits) { bitCount = bits; }

// Copies a whole device record.
void BMPInfo::CBMP_SetPrivateData(OEMDEV device) { deviceData = device; }

// Takes the three image switches of the job.
void BMPInfo::CBMP_SetSettings(settings_ settings) {
  deviceData.thresholdMode = settings.halfTone != 1 ? 1 : 0;
  deviceData.mirrorPage = settings.mirror;
  deviceData.negativePage = settings.reversePhase;
}

// Whether the page road ends with the offset shift.
void BMPInfo::CBMP_SetDoOffset(int32_t flag) { doOffset = flag; }

// Whether the page road may mirror the page.
void BMPInfo::CBMP_SetDoMirror(int32_t flag) { doMirror = flag; }

// Dots per unit of the device offsets.
void BMPInfo::CBMP_SetOffsetUnits(float units) { offsetUnits = units; }

// Rows from the top down to the last row with content.
int64_t BMPInfo::CBMP_GetBlankHeightLast() const { return blankHeightLast; }

// Releases the gray copy.
void BMPInfo::CBMP_FreeGrayBuffer() {
  std::free(grayBuffer);
  grayBuffer = nullptr;
}

// There is no mirror buffer to release; kept because callers use it.
void BMPInfo::CBMP_FreeMirrorBuffer() {}

// Releases the gray copy and forgets the page size.
void BMPInfo::CBMP_ClearCBMPInfo() {
  CBMP_FreeGrayBuffer();
  width = 0;
  height = 0;
}

// v limited to 0 ... 255.
int32_t BMPInfo::ManualClamp(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Tile index clamp of the local equalisation: indices never exceed 15, so
// only the low 4 bits are kept.
uint8_t BMPInfo::myclamp(int32_t v, int32_t low, int32_t high) {
  if (v < low) return static_cast<uint8_t>(low);
  if (v <= high) return static_cast<uint8_t>(v & 0x0F);
  return static_cast<uint8_t>(high & 0x0F);
}

// Geometry check used by every operation that walks the page rows.
bool BMPInfo::pageFits(int64_t minBytesPerPixel) const {
  int64_t rowPixels = 0, pageBytes = 0;
  return pixels && width >= 1 && height >= 1 && bytesPerPixel >= minBytesPerPixel &&
         mulSize(width, bytesPerPixel, &rowPixels) && lineBytes >= rowPixels &&
         mulSize(lineBytes, height, &pageBytes) && pageBytes <= imageSize;
}

// ---------------------------------------------------------------------------
// C interface: each function ignores a null handle.

extern "C" {

BMPInfo *CBMP_Create(void) { return new (std::nothrow) BMPInfo(); }

void CBMP_destroy(BMPInfo *h) { delete h; }

void CBMP_SetBMPInfo(BMPInfo *h, int64_t width, int64_t height, int64_t bytesPerPixel) {
  if (h) h->CBMP_SetBMPInfo(width, height, bytesPerPixel);
}

void CBMP_SetBMPSource(BMPInfo *h, unsigned char *data, int64_t size) {
  if (h) h->CBMP_SetBMPSource(data, size);
}

void CBMP_SetBitCount(BMPInfo *h, uint16_t bits) {
  if (h) h->CBMP_SetBitCount(bits);
}

void CBMP_SetPrivateData(BMPInfo *h, OEMDEV device) {
  if (h) h->CBMP_SetPrivateData(device);
}

void CBMP_SetSettings(BMPInfo *h, settings_ settings) {
  if (h) h->CBMP_SetSettings(settings);
}

void CBMP_SetDoOffset(BMPInfo *h, int32_t flag) {
  if (h) h->CBMP_SetDoOffset(flag);
}

void CBMP_SetDoMirror(BMPInfo *h, int32_t flag) {
  if (h) h->CBMP_SetDoMirror(flag);
}

void CBMP_SetOffsetUnits(BMPInfo *h, float units) {
  if (h) h->CBMP_SetOffsetUnits(units);
}

void CBMP_UpImageInfo(BMPInfo *h) {
  if (h) h->CBMP_UpImageInfo();
}

int64_t CBMP_GetBlankHeightLast(BMPInfo *h) { return h ? h->CBMP_GetBlankHeightLast() : 0; }

void CBMP_ClearCBMPInfo(BMPInfo *h) {
  if (h) h->CBMP_ClearCBMPInfo();
}

void CBMP_FreeGrayBuffer(BMPInfo *h) {
  if (h) h->CBMP_FreeGrayBuffer();
}

void CBMP_FreeMirrorBuffer(BMPInfo *h) {
  if (h) h->CBMP_FreeMirrorBuffer();
}

void CBMP_DoOffset(BMPInfo *h) {
  if (h) h->CBMP_DoOffset();
}

unsigned char *CBMP_Rotate90Degrees(BMPInfo *h, const unsigned char *source, uint64_t sourceSize,
                                    int64_t width, int64_t height, uint64_t *outSize,
                                    int64_t *outWidth, int64_t *outHeight, int32_t angle) {
  if (!h) return nullptr;
  return BMPInfo::Rotate90Degrees(source, sourceSize, width, height, outSize, outWidth, outHeight,
                                  angle);
}

unsigned char *CBMP_Rotate_24bit(BMPInfo *h, const unsigned char *source, uint64_t sourceSize,
                                 int64_t width, int64_t height, uint64_t *outSize,
                                 int64_t *outWidth, int64_t *outHeight, int32_t quarterTurns) {
  if (!h) return nullptr;
  return BMPInfo::CBMP_Rotate_24bit(source, sourceSize, width, height, outSize, outWidth,
                                    outHeight, quarterTurns);
}

unsigned char *CBMP_Scale_24bit(BMPInfo *h, unsigned char *source, uint64_t sourceSize,
                                int64_t width, int64_t height, float scale) {
  if (!h) return nullptr;
  return BMPInfo::CBMP_Scale_24bit(source, sourceSize, width, height, scale);
}

}  // extern "C"
