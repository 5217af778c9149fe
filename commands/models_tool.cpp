// quillet-models: writes what the build and the tests take from the model
// table, so that a new row needs no list kept by hand.
//
//   quillet-models drv PO_DIR   the PPDs' driver information file for ppdc
//   quillet-models cmake        the model lists as CMake variables, with
//                               QUILLET_MODELS_JSON for the test scripts
//   quillet-models json         that JSON alone
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "models.h"

namespace {

using quillet::kModels;
using quillet::kNumModels;
using quillet::MediaSize;
using quillet::Model;
using quillet::OptionSpec;

// A length for ppdc, hundredths of a millimetre: whole millimetres, else
// inches (US sizes), else points, so ppdc computes the sizes it always did.
std::string Length(int hundredthsMm) {
  char text[32];
  if (hundredthsMm % 100 == 0) {
    std::snprintf(text, sizeof text, "%dmm", hundredthsMm / 100);
  } else if (hundredthsMm * 10 % 254 == 0) {
    std::snprintf(text, sizeof text, "%gin", hundredthsMm / 2540.0);
  } else {
    std::snprintf(text, sizeof text, "%g", hundredthsMm * 72.0 / 2540.0);
  }
  return text;
}

std::string ChoiceKeyword(const OptionSpec &option, int32_t value) {
  if (option.boolean) return value ? "True" : "False";
  return std::to_string(value);
}

void WriteOption(const OptionSpec &option) {
  std::printf("    Option \"%s/%s\" PickOne AnySetup %d\n", option.ppdKey, option.text, option.order);
  // A boolean option offers True first.
  const int32_t first = option.boolean ? option.max : option.min;
  const int32_t step = option.boolean ? -1 : 1;
  for (int32_t v = first; option.boolean ? v >= option.min : v <= option.max; v += step) {
    const std::string keyword = ChoiceKeyword(option, v);
    const std::string text =
        option.choiceTexts ? option.choiceTexts[v - option.min] : std::to_string(v);
    std::printf("      %sChoice \"%s/%s\" \"\"\n", v == option.defaultValue ? "*" : "",
                keyword.c_str(), text.c_str());
  }
}

void WriteDrv(const char *poDir) {
  std::printf(
      "// The Quillet printers' driver information, written by quillet-models\n"
      "// from the model table (commands/models.cpp) for ppdc.  The filter\n"
      "// reads the OP_ options by their decimal choice keywords and finds its\n"
      "// model row by ModelNumber.\n\n"
      "#include <font.defs>\n#include <media.defs>\n\n");
  for (const char *lang : {"de", "zh_CN"}) std::printf("#po %s \"%s/%s.po\"\n", lang, poDir, lang);

  // Edge-to-edge sizes, each once.
  std::printf("\n");
  std::vector<std::string> defined;
  for (size_t m = 0; m < kNumModels; ++m) {
    for (size_t i = 0; i < kModels[m].numMedia; ++i) {
      const MediaSize &media = kModels[m].media[i];
      bool seen = false;
      for (const std::string &name : defined) seen = seen || name == media.ppdName;
      if (seen) continue;
      defined.push_back(media.ppdName);
      std::printf("#media \"%s/%s\" %s %s\n", media.ppdName, media.text, Length(media.width).c_str(),
                  Length(media.length).c_str());
    }
  }

  std::printf(
      "\nManufacturer \"Quillet\"\nVersion \"" QUILLET_VERSION "\"\n"
      "Copyright \"Quillet printer driver information\"\n"
      "Filter \"application/vnd.cups-raster 0 rastertoquillet\"\n"
      "// The filter wants 8-bit chunky RGB; it turns it into one bit per dot.\n"
      "ColorDevice No\nColorModel \"RGB/Standard\" rgb chunky 0\nThroughput 1\nManualCopies No\n");

  for (size_t m = 0; m < kNumModels; ++m) {
    const Model &model = kModels[m];
    std::printf("\n{\n  ModelName \"%s\"\n  PCFileName \"%s\"\n  ModelNumber %d\n", model.modelName,
                model.ppdFile, model.modelNumber);
    std::printf("  HWMargins 0 0 0 0\n");
    if (model.maxWidth) {
      std::printf("  VariablePaperSize Yes\n  MinSize %s %s\n  MaxSize %s %s\n",
                  Length(model.minWidth).c_str(), Length(model.minLength).c_str(),
                  Length(model.maxWidth).c_str(), Length(model.maxLength).c_str());
    }
    for (size_t i = 0; i < model.numMedia; ++i) {
      std::printf("  %sMediaSize %s\n", i == model.defaultMedia ? "*" : "", model.media[i].ppdName);
    }
    std::printf("  Group \"General/General\"\n");
    for (size_t i = 0; i < model.numOptions; ++i) WriteOption(model.options[i]);
    // After the options, where the PPDs have always listed it.
    std::printf("  Resolution - 8 0 0 0 \"%ddpi/%d DPI\"\n}\n", model.dpi, model.dpi);
  }
}

std::string Json() {
  std::string out = "[";
  for (size_t m = 0; m < kNumModels; ++m) {
    const Model &model = kModels[m];
    char head[512];
    std::snprintf(head, sizeof head,
                  "%s\n {\"driver\": \"%s\", \"model\": \"%s\", \"ppd\": \"%s\", \"number\": %d, "
                  "\"dpi\": %d, \"label\": %s, \"header\": \"%s\",\n  \"media\": [",
                  m ? "," : "", model.driverName, model.modelName, model.ppdFile, model.modelNumber,
                  model.dpi, model.label ? "true" : "false", model.header->name);
    out += head;
    for (size_t i = 0; i < model.numMedia; ++i) {
      out += std::string(i ? ", \"" : "\"") + model.media[i].pwgName + "\"";
    }
    out += std::string("], \"default_media\": \"") + model.media[model.defaultMedia].pwgName +
           "\",\n  \"options\": {";
    for (size_t i = 0; i < model.numOptions; ++i) {
      const OptionSpec &o = model.options[i];
      char option[256];
      std::snprintf(option, sizeof option,
                    "%s\"%s\": {\"min\": %d, \"max\": %d, \"default\": %d, \"boolean\": %s}",
                    i ? ", " : "", o.ppdKey, o.min, o.max, o.defaultValue, o.boolean ? "true" : "false");
      out += option;
    }
    out += "}}";
  }
  return out + "\n]\n";
}

void WriteCmake() {
  std::string drivers, ppds;
  for (size_t m = 0; m < kNumModels; ++m) {
    drivers += std::string(" ") + kModels[m].driverName;
    ppds += std::string(" ") + kModels[m].ppdFile;
  }
  std::printf("set(QUILLET_MODEL_DRIVERS%s)\nset(QUILLET_PPD_NAMES%s)\n", drivers.c_str(), ppds.c_str());
  for (size_t m = 0; m < kNumModels; ++m) {
    std::printf("set(QUILLET_MODEL_%s_PPD %s)\nset(QUILLET_MODEL_%s_LABEL %d)\n", kModels[m].driverName,
                kModels[m].ppdFile, kModels[m].driverName, kModels[m].label ? 1 : 0);
  }
  std::printf("set(QUILLET_MODELS_JSON [==[%s]==])\n", Json().c_str());
}

}  // namespace

int main(int argc, char **argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "drv" && argc == 3) {
    WriteDrv(argv[2]);
  } else if (mode == "cmake" && argc == 2) {
    WriteCmake();
  } else if (mode == "json" && argc == 2) {
    std::fputs(Json().c_str(), stdout);
  } else {
    std::fprintf(stderr, "usage: quillet-models drv PO_DIR | cmake | json\n");
    return 2;
  }
  return std::ferror(stdout) ? 1 : 0;
}
