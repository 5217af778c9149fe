// The model table; see models.h.
#include "models.h"

#include <cstring>

namespace quillet {
namespace {

constexpr MediaSize kA4Media[] = {
    {"A4.Fullbleed", "iso_a4_210x297mm", 21000, 29700},
    {"Letter.Fullbleed", "na_letter_8.5x11in", 21590, 27940},
};

// Label stock wider than long keeps the standard name of its portrait size
// with "Rotated" in the PPD; the PWG names say width x length as printed.
constexpr MediaSize kLabelMedia[] = {
    {"30x40mmRotated.Fullbleed", "om_label-40x30mm_40x30mm", 4000, 3000},
    {"25x50mmRotated.Fullbleed", "om_label-50x25mm_50x25mm", 5000, 2500},
    {"30x50mmRotated.Fullbleed", "om_label-50x30mm_50x30mm", 5000, 3000},
    {"40x60mmRotated.Fullbleed", "om_label-60x40mm_60x40mm", 6000, 4000},
    {"50x70mmRotated.Fullbleed", "om_label-70x50mm_70x50mm", 7000, 5000},
    {"50x100mmRotated.Fullbleed", "om_label-100x50mm_100x50mm", 10000, 5000},
    {"100x100mm.Fullbleed", "om_label-100x100mm_100x100mm", 10000, 10000},
    {"100x150mm.Fullbleed", "om_label-100x150mm_100x150mm", 10000, 15000},
};

constexpr OptionSpec kA4Options[] = {
    {"OP_PrintSpeed", &settings_::printSpeed, false, 1, 8, 4, true},
    {"OP_HalfTone", &settings_::halfTone, true, 0, 1, 1, true},
    {"OP_Mirror", &settings_::mirror, false, 0, 1, 0, true},
    {"OP_ReversePhase", &settings_::reversePhase, false, 0, 1, 0, true},
    {"OP_RememberToPrint", &settings_::rememberToPrint, false, 0, 1, 0, false},
    {"OP_PaperType", &settings_::paperType, false, 0, 2, 1, true},
    {"OP_Density", &settings_::density, false, 0, 15, 8, true},
    {"OP_Direction", &settings_::direction, false, 0, 1, 0, true},
    {"OP_Rotate", &settings_::rotate, false, 0, 1, 0, true},
};

constexpr OptionSpec kLabelOptions[] = {
    {"OP_PrintSpeed", &settings_::printSpeed, false, 1, 8, 4, true},
    {"OP_HalfTone", &settings_::halfTone, true, 0, 1, 1, true},
    {"OP_Mirror", &settings_::mirror, false, 0, 1, 0, true},
    {"OP_ReversePhase", &settings_::reversePhase, false, 0, 1, 0, true},
    {"OP_RememberToPrint", &settings_::rememberToPrint, false, 0, 1, 0, false},
    {"OP_PrintDensity", &settings_::printDensity, false, 0, 15, 8, true},
    {"OP_PaperSel", &settings_::paperSel, false, 0, 2, 1, true},
    {"OP_LabelGAP", &settings_::labelGap, false, 0, 10, 2, true},
    {"OP_OFFSet", &settings_::offset, false, -10, 10, 0, true},
    {"OP_HorizontalOffset", &settings_::horizontalOffset, false, -16, 16, 0, true},
    {"OP_VerticalOffset", &settings_::verticalOffset, false, -16, 16, 0, true},
    {"OP_Rotate", &settings_::rotate, false, 0, 3, 0, true},
    {"OP_MediaSel", &settings_::mediaSel, false, 0, 1, 0, false},
    {"OP_AfterDo", &settings_::afterDo, false, 0, 3, 0, false},
    {"OP_CutPage", &settings_::cutPage, false, 0, 2, 0, false},
};

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

const Model kModels[] = {
    {"quillet_a4_203", "Quillet A4 203dpi", "qa4-203.ppd", 203, 203, false, &kA4Header, kA4Media,
     Count(kA4Media), 0, 0, 0, 0, 0, kA4Options, Count(kA4Options)},
    {"quillet_a4_300", "Quillet A4 300dpi", "qa4-300.ppd", 300, 300, false, &kA4Header, kA4Media,
     Count(kA4Media), 0, 0, 0, 0, 0, kA4Options, Count(kA4Options)},
    {"quillet_label_203", "Quillet Label 203dpi", "qlbl-203.ppd", 1001, 203, true, &kLabelHeader,
     kLabelMedia,
     Count(kLabelMedia), 2, 2000, 1000, 10800, 100000, kLabelOptions, Count(kLabelOptions)},
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
