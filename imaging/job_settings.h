/* Job settings of one print job: the printer options of the queue's PPD
   reduced to 20 signed 32-bit integers.  Filled once per job by the filter
   and handed by value to the page encoder and the page record. */
#ifndef QUILLET_JOB_SETTINGS_H
#define QUILLET_JOB_SETTINGS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct settings_ {
  int32_t modelNumber;       /* PPD model number: picks the model table row */
  int32_t reserved;          /* always 0 */
  int32_t printSpeed;        /* OP_PrintSpeed */
  int32_t printDensity;      /* OP_PrintDensity (label header) */
  int32_t labelGap;          /* OP_LabelGAP, mm */
  int32_t paperSel;          /* OP_PaperSel: 1 gap, 2 black line, else continuous */
  int32_t mediaSel;          /* OP_MediaSel read and kept; nothing prints it */
  int32_t afterDo;           /* OP_AfterDo read and kept; nothing prints it */
  int32_t cutPage;           /* OP_CutPage read and kept; nothing prints it */
  int32_t offset;            /* OP_OFFSet, mm */
  int32_t rotate;            /* OP_Rotate: quarter turns (quillet::Rotation) */
  int32_t mirror;            /* OP_Mirror */
  int32_t reversePhase;      /* OP_ReversePhase: print as a negative */
  int32_t horizontalOffset;  /* OP_HorizontalOffset */
  int32_t verticalOffset;    /* OP_VerticalOffset */
  int32_t rememberToPrint;   /* OP_RememberToPrint read and kept; nothing prints it */
  int32_t paperType;         /* OP_PaperType: 0 black mark, 1 continuous, else tattoo */
  int32_t density;           /* OP_Density (A4 header) */
  int32_t halfTone;          /* OP_HalfTone as 0/1: 1 error diffusion */
  int32_t direction;         /* OP_Direction (A4 header) */
} settings_;

#ifdef __cplusplus
}
#endif

#endif
