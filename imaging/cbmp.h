/* C interface of the page image record BMPInfo.  Every function takes the
   record handle first and does nothing (returning 0 or null) when it is
   null, so C and C++ callers can use the record without knowing its
   layout. */
#ifndef QUILLET_CBMP_H
#define QUILLET_CBMP_H

#include <stdint.h>
#include "job_settings.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Device record carried inside the page record; copied whole by
   CBMP_SetPrivateData.  The unnamed runs are carried and never read. */
typedef struct OEMDEV {
  unsigned char unused0[24];
  float deviceOffsetX;      /* horizontal shift, in units of offsetUnits */
  float deviceOffsetY;      /* vertical shift */
  unsigned char unused1[48];
  uint64_t thresholdMode;   /* 0 error diffusion, 1 sharpen + global threshold */
  unsigned char unused2[12];
  int32_t mirrorPage;       /* mirror left to right */
  int32_t negativePage;     /* invert the page */
} OEMDEV;

typedef struct BMPInfo BMPInfo;

BMPInfo *CBMP_Create(void);
void CBMP_destroy(BMPInfo *h);

void CBMP_SetBMPInfo(BMPInfo *h, int64_t width, int64_t height, int64_t bytesPerPixel);
void CBMP_SetBMPSource(BMPInfo *h, unsigned char *data, int64_t size);
void CBMP_SetBitCount(BMPInfo *h, uint16_t bits);
void CBMP_SetPrivateData(BMPInfo *h, OEMDEV device);
void CBMP_SetSettings(BMPInfo *h, settings_ settings);
void CBMP_SetDoOffset(BMPInfo *h, int32_t flag);
void CBMP_SetDoMirror(BMPInfo *h, int32_t flag);
void CBMP_SetOffsetUnits(BMPInfo *h, float units);

/* Makes the described page black and white in place (3- or 4-byte
   pixels); a page whose geometry does not fit its buffer is left as it is. */
void CBMP_UpImageInfo(BMPInfo *h);
int64_t CBMP_GetBlankHeightLast(BMPInfo *h);
void CBMP_ClearCBMPInfo(BMPInfo *h);
void CBMP_FreeGrayBuffer(BMPInfo *h);
void CBMP_FreeMirrorBuffer(BMPInfo *h);
void CBMP_DoOffset(BMPInfo *h);

/* Rotations return a new buffer (release with free) or null; null also
   when the source holds fewer than 3 x width x height bytes. */
unsigned char *CBMP_Rotate90Degrees(BMPInfo *h, const unsigned char *source, uint64_t sourceSize,
                                    int64_t width, int64_t height, uint64_t *outSize,
                                    int64_t *outWidth, int64_t *outHeight, int32_t angle);
unsigned char *CBMP_Rotate_24bit(BMPInfo *h, const unsigned char *source, uint64_t sourceSize,
                                 int64_t width, int64_t height, uint64_t *outSize,
                                 int64_t *outWidth, int64_t *outHeight, int32_t quarterTurns);
/* Shrinks in place and returns the source pointer; a scale of 0 or below,
   or a source smaller than its dimensions, leaves the page unchanged. */
unsigned char *CBMP_Scale_24bit(BMPInfo *h, unsigned char *source, uint64_t sourceSize,
                                int64_t width, int64_t height, float scale);

#ifdef __cplusplus
}
#endif

#endif
