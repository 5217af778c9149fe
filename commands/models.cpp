// The model table; see models.h.
#include "models.h"

#include <cstring>

namespace quillet {
namespace {

constexpr MediaSize kA4Media[] = {
    {"A4.Fullbleed", "iso_a4_210x297mm", "A4", 21000, 29700},
    {"Letter.Fullbleed", "na_letter_8.5x11in", "US Letter", 21590, 27940},
};

// Label stock wider than long keeps the standard name of its portrait size
// with "Rotated" in the PPD; the PWG names say width x length as printed.
constexpr MediaSize kLabelMedia[] = {
    {"30x40mmRotated.Fullbleed", "om_label-40x30mm_40x30mm", "40 x 30 mm", 4000, 3000},
    {"25x50mmRotated.Fullbleed", "om_label-50x25mm_50x25mm", "50 x 25 mm", 5000, 2500},
    {"30x50mmRotated.Fullbleed", "om_label-50x30mm_50x30mm", "50 x 30 mm", 5000, 3000},
    {"40x60mmRotated.Fullbleed", "om_label-60x40mm_60x40mm", "60 x 40 mm", 6000, 4000},
    {"50x70mmRotated.Fullbleed", "om_label-70x50mm_70x50mm", "70 x 50 mm", 7000, 5000},
    {"50x100mmRotated.Fullbleed", "om_label-100x50mm_100x50mm", "100 x 50 mm", 10000, 5000},
    {"100x100mm.Fullbleed", "om_label-100x100mm_100x100mm", "100 x 100 mm", 10000, 10000},
    {"100x150mm.Fullbleed", "om_label-100x150mm_100x150mm", "100 x 150 mm", 10000, 15000},
};

constexpr const char *kOffOn[] = {"Off", "On"};
constexpr const char *kHalfTone[] = {"Sharpen and threshold (text)", "Error diffusion (photos)"};
constexpr const char *kPaperTypes[] = {"Black-mark paper", "Continuous paper", "Tattoo transfer paper"};
constexpr const char *kDirections[] = {"Normal", "Reversed"};
constexpr const char *kA4Turns[] = {"Off", "90 degrees"};
constexpr const char *kLabelTurns[] = {"Off", "90 degrees", "180 degrees", "270 degrees"};
constexpr const char *kTracking[] = {"Continuous", "Gap labels", "Black mark"};
constexpr const char *kMethods[] = {"Direct thermal", "Thermal transfer"};
constexpr const char *kAfterPrinting[] = {"None", "Tear off", "Peel off", "Cut"};
constexpr const char *kCuts[] = {"Never", "After every label", "At the end of the job"};

using S = settings_;

// Options every model has, first in its PPD.
#define QUILLET_COMMON_OPTIONS                                                                   \
  {.ppdKey = "OP_PrintSpeed", .text = "Print Speed", .order = 10, .field = &S::printSpeed,      \
   .boolean = false, .min = 1, .max = 8, .defaultValue = 4, .changesStream = true},             \
      {.ppdKey = "OP_HalfTone", .text = "Halftone", .order = 11, .field = &S::halfTone,         \
       .boolean = true, .min = 0, .max = 1, .defaultValue = 1, .changesStream = true,           \
       .choiceTexts = kHalfTone},                                                               \
      {.ppdKey = "OP_Mirror", .text = "Mirror Image", .order = 12, .field = &S::mirror,         \
       .boolean = false, .min = 0, .max = 1, .defaultValue = 0, .changesStream = true,          \
       .choiceTexts = kOffOn},                                                                  \
      {.ppdKey = "OP_ReversePhase", .text = "Negative Print", .order = 13,                      \
       .field = &S::reversePhase, .boolean = false, .min = 0, .max = 1, .defaultValue = 0,      \
       .changesStream = true, .choiceTexts = kOffOn},                                           \
      {.ppdKey = "OP_RememberToPrint", .text = "Remember Settings", .order = 14,                \
       .field = &S::rememberToPrint, .boolean = false, .min = 0, .max = 1, .defaultValue = 0,   \
       .changesStream = false, .choiceTexts = kOffOn}

constexpr OptionSpec kA4Options[] = {
    QUILLET_COMMON_OPTIONS,
    {.ppdKey = "OP_PaperType", .text = "Paper Type", .order = 20, .field = &S::paperType,
     .boolean = false, .min = 0, .max = 2, .defaultValue = 1, .changesStream = true,
     .choiceTexts = kPaperTypes},
    {.ppdKey = "OP_Density", .text = "Print Density", .order = 21, .field = &S::density,
     .boolean = false, .min = 0, .max = 15, .defaultValue = 8, .changesStream = true},
    {.ppdKey = "OP_Direction", .text = "Print Direction", .order = 22, .field = &S::direction,
     .boolean = false, .min = 0, .max = 1, .defaultValue = 0, .changesStream = true,
     .choiceTexts = kDirections},
    {.ppdKey = "OP_Rotate", .text = "Rotate", .order = 23, .field = &S::rotate,
     .boolean = false, .min = 0, .max = 1, .defaultValue = 0, .changesStream = true,
     .choiceTexts = kA4Turns},
};

constexpr OptionSpec kLabelOptions[] = {
    QUILLET_COMMON_OPTIONS,
    {.ppdKey = "OP_PrintDensity", .text = "Print Density", .order = 20, .field = &S::printDensity,
     .boolean = false, .min = 0, .max = 15, .defaultValue = 8, .changesStream = true},
    {.ppdKey = "OP_PaperSel", .text = "Media Tracking", .order = 21, .field = &S::paperSel,
     .boolean = false, .min = 0, .max = 2, .defaultValue = 1, .changesStream = true,
     .choiceTexts = kTracking},
    {.ppdKey = "OP_LabelGAP", .text = "Gap or Mark Height (mm)", .order = 22, .field = &S::labelGap,
     .boolean = false, .min = 0, .max = 10, .defaultValue = 2, .changesStream = true},
    {.ppdKey = "OP_OFFSet", .text = "Stop Offset (mm)", .order = 23, .field = &S::offset,
     .boolean = false, .min = -10, .max = 10, .defaultValue = 0, .changesStream = true},
    {.ppdKey = "OP_HorizontalOffset", .text = "Horizontal Shift (dots)", .order = 24,
     .field = &S::horizontalOffset, .boolean = false, .min = -16, .max = 16, .defaultValue = 0,
     .changesStream = true},
    {.ppdKey = "OP_VerticalOffset", .text = "Vertical Shift (dots)", .order = 25,
     .field = &S::verticalOffset, .boolean = false, .min = -16, .max = 16, .defaultValue = 0,
     .changesStream = true},
    {.ppdKey = "OP_Rotate", .text = "Rotate", .order = 26, .field = &S::rotate,
     .boolean = false, .min = 0, .max = 3, .defaultValue = 0, .changesStream = true,
     .choiceTexts = kLabelTurns},
    {.ppdKey = "OP_MediaSel", .text = "Print Method", .order = 27, .field = &S::mediaSel,
     .boolean = false, .min = 0, .max = 1, .defaultValue = 0, .changesStream = false,
     .choiceTexts = kMethods},
    {.ppdKey = "OP_AfterDo", .text = "After Printing", .order = 28, .field = &S::afterDo,
     .boolean = false, .min = 0, .max = 3, .defaultValue = 0, .changesStream = false,
     .choiceTexts = kAfterPrinting},
    {.ppdKey = "OP_CutPage", .text = "Cut", .order = 29, .field = &S::cutPage,
     .boolean = false, .min = 0, .max = 2, .defaultValue = 0, .changesStream = false,
     .choiceTexts = kCuts},
};

#undef QUILLET_COMMON_OPTIONS

using C = HeaderCommand;

constexpr HeaderStyle kA4Header = {
    "a4",
    {C::kSize, C::kPaperType, C::kGapForPaperType, C::kDirection, C::kReferenceOrigin,
     C::kDensity, C::kSpeed, C::kClear}};

constexpr HeaderStyle kLabelHeader = {
    "label",
    {C::kSize, C::kReferenceOffsets, C::kDirectionForRotate, C::kGapForPaperSel, C::kOffset,
     C::kPrintDensity, C::kSpeed, C::kClear}};

template <typename T, size_t N>
constexpr size_t Count(const T (&)[N]) { return N; }

}  // namespace

// One row a model.  Sizes in hundredths of a millimetre; a model without
// custom sizes leaves min/max out.
const Model kModels[] = {
    {.driverName = "quillet_a4_203", .modelName = "Quillet A4 203dpi", .ppdFile = "qa4-203.ppd",
     .modelNumber = 203, .dpi = 203, .label = false, .header = &kA4Header,
     .media = kA4Media, .numMedia = Count(kA4Media), .defaultMedia = 0,
     .options = kA4Options, .numOptions = Count(kA4Options)},
    {.driverName = "quillet_a4_300", .modelName = "Quillet A4 300dpi", .ppdFile = "qa4-300.ppd",
     .modelNumber = 300, .dpi = 300, .label = false, .header = &kA4Header,
     .media = kA4Media, .numMedia = Count(kA4Media), .defaultMedia = 0,
     .options = kA4Options, .numOptions = Count(kA4Options)},
    {.driverName = "quillet_label_203", .modelName = "Quillet Label 203dpi", .ppdFile = "qlbl-203.ppd",
     .modelNumber = 1001, .dpi = 203, .label = true, .header = &kLabelHeader,
     .media = kLabelMedia, .numMedia = Count(kLabelMedia), .defaultMedia = 2,
     .minWidth = 2000, .minLength = 1000, .maxWidth = 10800, .maxLength = 100000,
     .options = kLabelOptions, .numOptions = Count(kLabelOptions)},
};
const size_t kNumModels = Count(kModels);

const Model *FindModelByDriver(const char *driverName) {
  for (const Model &model : kModels) {
    if (driverName && std::strcmp(model.driverName, driverName) == 0) return &model;
  }
  return nullptr;
}

const HeaderStyle &HeaderStyleFor(int32_t modelNumber) {
  for (const Model &model : kModels) {
    if (model.modelNumber == modelNumber) return *model.header;
  }
  return *kModels[0].header;
}

const char *HeaderKeyword(HeaderCommand command) {
  switch (command) {
    case HeaderCommand::kSize: return "SIZE";
    case HeaderCommand::kPaperType: return "PAPERTYPE";
    case HeaderCommand::kGapForPaperType:
    case HeaderCommand::kGapForPaperSel: return "GAP";
    case HeaderCommand::kDirection:
    case HeaderCommand::kDirectionForRotate: return "DIRECTION";
    case HeaderCommand::kReferenceOrigin:
    case HeaderCommand::kReferenceOffsets: return "REFERENCE";
    case HeaderCommand::kOffset: return "OFFSET";
    case HeaderCommand::kDensity:
    case HeaderCommand::kPrintDensity: return "DENSITY";
    case HeaderCommand::kSpeed: return "SPEED";
    case HeaderCommand::kClear: return "CLS";
    case HeaderCommand::kEnd: break;
  }
  return "";
}

const OptionSpec *FindOption(const Model &model, const char *ppdKey) {
  for (size_t i = 0; i < model.numOptions; ++i) {
    if (std::strcmp(model.options[i].ppdKey, ppdKey) == 0) return &model.options[i];
  }
  return nullptr;
}

settings_ DefaultSettings(const Model &model) {
  settings_ settings{};
  settings.modelNumber = model.modelNumber;
  for (size_t i = 0; i < model.numOptions; ++i) {
    settings.*(model.options[i].field) = model.options[i].defaultValue;
  }
  return settings;
}

}  // namespace quillet
