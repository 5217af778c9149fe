// The printer models as every program of the filter side sees them:
// media sizes, resolution and the printer options with their ranges,
// defaults and PPD texts.  A model is one row of kModels: the build writes
// the PPDs' driver file and the model lists of its tests from the rows
// (quillet-models), and the printer application makes a driver of each.
#ifndef QUILLET_MODELS_H
#define QUILLET_MODELS_H

#include <cstddef>
#include <cstdint>

#include "job_settings.h"

namespace quillet {

// One media size: its PPD name, its PWG name, its English PPD text and
// its size in hundredths of a millimetre (width across the head, length
// along the feed).
struct MediaSize {
  const char *ppdName;
  const char *pwgName;
  const char *text;
  int width;
  int length;
};

// A printer option of the PPD: its choices are the whole numbers from
// `min` to `max` (a boolean option has the choices False and True).
struct OptionSpec {
  const char *ppdKey;
  const char *text;  // the PPD's English text; po/ translates it
  int order;         // the PPD's OrderDependency
  int32_t settings_::*field;
  bool boolean;
  int32_t min, max, defaultValue;
  bool changesStream;  // false: carried to the encoder but never sent
  // The choices' texts from `min` up (False first); null: the numbers.
  const char *const *choiceTexts = nullptr;
};

// One line of a page header.  Where models differ in a line they have a
// command of their own here, and the writer, the baseline filter and
// quillet-decode each know every command.
enum class HeaderCommand {
  kEnd,                  // ends a style's list
  kSize,                 // SIZE: the page in whole millimetres
  kPaperType,            // PAPERTYPE (binary) from OP_PaperType
  kGapForPaperType,      // GAP 0 mm on continuous paper, else GAP 2 mm
  kGapForPaperSel,       // BLINE or GAP of OP_LabelGAP by OP_PaperSel; GAP 0 mm on continuous
  kDirection,            // DIRECTION from OP_Direction
  kDirectionForRotate,   // DIRECTION 1 when OP_Rotate turns the page upside down
  kReferenceOrigin,      // REFERENCE 0,0
  kReferenceOffsets,     // REFERENCE from OP_HorizontalOffset and OP_VerticalOffset
  kOffset,               // OFFSET from OP_OFFSet
  kDensity,              // DENSITY from OP_Density
  kPrintDensity,         // DENSITY from OP_PrintDensity
  kSpeed,                // SPEED from OP_PrintSpeed
  kClear,                // CLS
};

constexpr size_t kMaxHeaderCommands = 12;

// A page header style: its lines in the order they are sent.
struct HeaderStyle {
  const char *name;  // as quillet-decode names it
  HeaderCommand commands[kMaxHeaderCommands];
};

// The command word a header line starts with; GAP stands for BLINE too,
// which takes the gap line's place.
const char *HeaderKeyword(HeaderCommand command);

struct Model {
  const char *driverName;  // the printer application's driver name
  const char *modelName;   // the PPD's ModelName, also the make and model
  const char *ppdFile;
  int32_t modelNumber;     // the PPD's; the filter finds the row by it
  int dpi;
  bool label;              // label stock on a roll, not sheets
  const HeaderStyle *header;
  const MediaSize *media;
  size_t numMedia;
  size_t defaultMedia;
  // Custom sizes, hundredths of a millimetre; all zero without them.
  int minWidth = 0, minLength = 0, maxWidth = 0, maxLength = 0;
  const OptionSpec *options;
  size_t numOptions;
};

extern const Model kModels[];
extern const size_t kNumModels;

const Model *FindModelByDriver(const char *driverName);
// The header style of the model with this number; a number no row has
// gets the first row's style, as the filter always treated such a page.
const HeaderStyle &HeaderStyleFor(int32_t modelNumber);
const OptionSpec *FindOption(const Model &model, const char *ppdKey);

// The settings a job gets from the model's defaults alone, as the filter
// reads them from the PPD.
settings_ DefaultSettings(const Model &model);

}  // namespace quillet

#endif
