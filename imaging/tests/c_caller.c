/* Proves that C code can include cbmp.h and drive a page through the
   record: a 4 x 3 white page with a dark top row. */
#include <stdlib.h>
#include <string.h>

#include "cbmp.h"

int quillet_c_caller_run(int64_t *blankRows, unsigned char *firstByte) {
  unsigned char page[4 * 3 * 3];
  settings_ settings;
  BMPInfo *record = CBMP_Create();
  if (!record) return 0;
  memset(page, 255, sizeof page);
  memset(page, 0, 12);
  memset(&settings, 0, sizeof settings);
  settings.halfTone = 1;
  CBMP_SetOffsetUnits(record, 7.992126f);
  CBMP_SetDoOffset(record, 1);
  CBMP_SetDoMirror(record, 1);
  CBMP_SetSettings(record, settings);
  CBMP_SetBitCount(record, 24);
  CBMP_SetBMPInfo(record, 4, 3, 3);
  CBMP_SetBMPSource(record, page, (int64_t)sizeof page);
  CBMP_UpImageInfo(record);
  *blankRows = CBMP_GetBlankHeightLast(record);
  *firstByte = page[0];
  CBMP_ClearCBMPInfo(record);
  CBMP_destroy(record);
  return 1;
}
