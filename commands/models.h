// The three printer models as every program of the filter side sees them:
// media sizes, resolution and the printer options with their ranges and
// defaults.  The PPDs are compiled from their own driver file; a test
// holds them equal to this table, and the printer application builds its
// IPP attributes from it.
#ifndef QUILLET_MODELS_H
#define QUILLET_MODELS_H

#include <cstddef>
#include <cstdint>

#include "job_settings.h"

namespace quillet {

// One media size: its PPD name, its PWG name and its size in hundredths
// of a millimetre (width across the head, length along the feed).
struct MediaSize {
  const char *ppdName;
  const char *pwgName;
  int width;
  int length;
};

// A printer option of the PPD: its choices are the whole numbers from
// `min` to `max` (a boolean option has the choices False and True).
struct OptionSpec {
  const char *ppdKey;
  int32_t settings_::*field;
  bool boolean;
  int32_t min, max, defaultValue;
  bool changesStream;  // false: carried to the encoder but never sent
};

struct Model {
  const char *driverName;  // the printer application's driver name
  const char *modelName;   // the PPD's ModelName, also the make and model
  const char *ppdFile;
  int32_t modelNumber;
  int dpi;
  bool label;
  const MediaSize *media;
  size_t numMedia;
  size_t defaultMedia;
  // Custom sizes, hundredths of a millimetre; all zero without them.
  int minWidth, minLength, maxWidth, maxLength;
  const OptionSpec *options;
  size_t numOptions;
};

extern const Model kModels[];
extern const size_t kNumModels;

const Model *FindModelByDriver(const char *driverName);
const OptionSpec *FindOption(const Model &model, const char *ppdKey);

// The settings a job gets from the model's defaults alone, as the filter
// reads them from the PPD.
settings_ DefaultSettings(const Model &model);

}  // namespace quillet

#endif
