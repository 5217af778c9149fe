// The driver callbacks: PAPPL hands over 8-bit sGray (or sRGB) lines, each
// goes through the filter's own preparation as it arrives, and the page
// through its command stream, so a page prints here as it prints through
// CUPS.
#include "driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "command_stream.h"
#include "job_order.h"
#include "page_input.h"
#include "strings_data.h"

namespace quillet_app {
namespace {

// The make in the models' names and in the printers' device IDs.
constexpr const char *kMake = "Quillet";

using quillet::Model;

// The printer's own attributes.  Mirror and negative apply to every model;
// the A4 models print in either feed direction; the label model has a
// gap (or black mark) height and a stop offset.
constexpr const char *kMirror = "quillet-mirror";
constexpr const char *kNegative = "quillet-negative";
constexpr const char *kDirection = "quillet-direction";
constexpr const char *kLabelGap = "quillet-label-gap";
constexpr const char *kStopOffset = "quillet-stop-offset";

// Paper types of the A4 models as media-type keywords, in OP_PaperType order.
constexpr const char *kA4Types[] = {"black-mark", "continuous", "tattoo-transfer"};

// print-speed is in hundredths of a millimetre per second; the printer's
// speed levels are inches per second.
constexpr int kSpeedUnit = 2540;
// Margins of the sizes with margins, hundredths of a millimetre.
constexpr int kA4Margin = 300;
constexpr int kLabelMargin = 150;
// printer-darkness-configured that gives the middle density level.
constexpr int kDarknessConfigured = 53;

const Model *ModelOf(const char *driverName) { return quillet::FindModelByDriver(driverName); }

// The row's custom size range as PWG names (custom_min_20x10mm), made
// once: the driver data only points at them.
const char *CustomSizeName(const Model &model, bool max) {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    auto name = [](const char *end, int width, int length) {
      char text[64];
      std::snprintf(text, sizeof text, "custom_%s_%gx%gmm", end, width / 100.0, length / 100.0);
      return std::string(text);
    };
    for (size_t i = 0; i < quillet::kNumModels; ++i) {
      const Model &row = quillet::kModels[i];
      list.push_back(name("min", row.minWidth, row.minLength));
      list.push_back(name("max", row.maxWidth, row.maxLength));
    }
    return list;
  }();
  return names[2 * static_cast<size_t>(&model - quillet::kModels) + (max ? 1 : 0)].c_str();
}

int Clamp(long value, int low, int high) {
  return static_cast<int>(std::min<long>(high, std::max<long>(low, value)));
}

// A vendor value: the job's (or PAPPL's copy of the default), else the
// printer's stored default, else null.
const char *VendorValue(const pappl_pr_options_t &options, ipp_t *printerAttrs, const char *name,
                        char *buffer, size_t size) {
  if (const char *value = cupsGetOption(name, options.num_vendor, options.vendor)) return value;
  if (!printerAttrs) return nullptr;
  char defaultName[128];
  std::snprintf(defaultName, sizeof defaultName, "%s-default", name);
  ipp_attribute_t *attr = ippFindAttribute(printerAttrs, defaultName, IPP_TAG_ZERO);
  if (!attr) return nullptr;
  ippAttributeString(attr, buffer, size);
  return buffer;
}

bool IsTrue(const char *value) {
  return value && (!strcasecmp(value, "true") || !strcasecmp(value, "yes") || !strcmp(value, "1"));
}

// The job's state between the callbacks: its settings and the page being
// prepared.
struct JobState {
  const Model *model = nullptr;
  settings_ settings{};
  int copies = 1;
  quillet::PageWriter writer;
  bool started = false;  // a page is under way in `writer`
  unsigned char *ink = nullptr;  // one row of device-black lines made gray
  uint32_t width = 0, height = 0, bytesPerPixel = 3;
  bool black = false;  // 8-bit lines count ink (0 white), not light
  // Bytes handed to the device and the device's count of bytes written
  // when the job started: PAPPL 1.3 reports no error for a write it
  // buffers, so a lost connection shows as bytes that never went out.
  size_t sent = 0, writtenBefore = 0;

  ~JobState() { std::free(ink); }
};

size_t BytesWritten(pappl_device_t *device) {
  pappl_devmetrics_t metrics{};
  papplDeviceGetMetrics(device, &metrics);
  return metrics.write_bytes;
}

// The printer device as the command stream's output.  A failed write ends
// the page; a cancelled job stops at the next band.
class DeviceSink : public quillet::ByteSink {
 public:
  DeviceSink(pappl_job_t *job, pappl_device_t *device, size_t *sent)
      : job_(job), device_(device), sent_(sent) {}
  void Write(const void *data, size_t bytes) override {
    if (failed_) return;
    if (papplDeviceWrite(device_, data, bytes) < 0) failed_ = true;
    *sent_ += bytes;
  }
  // The device's own buffer goes out when full and once the page is done
  // (EndPage): a flush after every band cost a write and a network
  // segment each. What was written is always whole bands, so a cancelled
  // job still ends on a band boundary.
  void Flush() override {}
  bool Cancelled() const override { return failed_ || papplJobIsCanceled(job_); }
  bool failed() const { return failed_; }

 private:
  pappl_job_t *job_;
  pappl_device_t *device_;
  size_t *sent_;
  bool failed_ = false;
};

bool StartJob(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t *device) {
  pappl_printer_t *printer = papplJobGetPrinter(job);
  const Model *model = ModelOf(papplPrinterGetDriverName(printer));
  if (!model) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unknown printer model \"%s\".",
                papplPrinterGetDriverName(printer));
    return false;
  }
  auto *state = new JobState;
  state->model = model;
  ipp_t *printerAttrs = papplPrinterGetDriverAttributes(printer);
  state->settings = SettingsFor(*model, *options, printerAttrs);
  ippDelete(printerAttrs);
  // Raster and PDF documents are sent once with the copy count in PRINT;
  // PAPPL renders an image document once per copy.
  const char *format = papplJobGetFormat(job);
  const bool raster = format && (!strcmp(format, "image/pwg-raster") || !strcmp(format, "image/urf") ||
                                 !strcmp(format, "application/pdf"));
  state->copies = raster ? std::max(1, options->copies) : 1;
  state->writtenBefore = BytesWritten(device);
  papplJobSetData(job, state);
  JobDeviceStarted(job, device);
  return true;
}

bool StartPage(pappl_job_t *job, pappl_pr_options_t *options, pappl_device_t * /*device*/,
               unsigned page) {
  auto *state = static_cast<JobState *>(papplJobGetData(job));
  if (!state) return false;
  const auto &header = options->header;
  if (header.cupsBitsPerColor != 8 || (header.cupsBitsPerPixel != 24 && header.cupsBitsPerPixel != 8)) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Page %u: unsupported raster (%u bits per pixel).", page,
                header.cupsBitsPerPixel);
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, PAPPL_JREASON_NONE);
    return false;
  }
  const bool rgbAsBytes = IsRgbAsBytes(header);
  const uint32_t width = rgbAsBytes ? header.cupsWidth / 3 : header.cupsWidth;
  const uint64_t bytes = uint64_t{width} * header.cupsHeight * 3;
  if (bytes > kMaxPageBytes) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Page %u of %u x %u dots is too large to print.", page,
                width, header.cupsHeight);
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_UNPRINTABLE_ERROR, PAPPL_JREASON_NONE);
    return false;
  }
  state->bytesPerPixel = rgbAsBytes ? 3 : header.cupsBitsPerPixel / 8;
  state->black = header.cupsColorSpace == CUPS_CSPACE_K;
  if (state->bytesPerPixel == 1 && state->black) {
    std::free(state->ink);
    state->ink = static_cast<unsigned char *>(std::malloc(size_t{width} + 1));
  }
  state->started = (state->bytesPerPixel == 3 || !state->black || state->ink) &&
                   state->writer.Start(width, header.cupsHeight, state->settings, state->copies);
  if (!state->started) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Not enough memory for page %u.", page);
    return false;
  }
  state->width = width;
  state->height = header.cupsHeight;
  return true;
}

bool WriteLine(pappl_job_t *job, pappl_pr_options_t * /*options*/, pappl_device_t * /*device*/,
               unsigned y, const unsigned char *line) {
  auto *state = static_cast<JobState *>(papplJobGetData(job));
  // Lines come in order; one out of order is missing for the page.
  if (!state || !state->started || y != state->writer.RowsAdded()) return true;
  if (state->bytesPerPixel == 3) {
    state->writer.AddRow(line);
    return true;
  }
  // Gray: the same value in every colour.
  if (state->black) {
    for (uint32_t x = 0; x < state->width; ++x) state->ink[x] = static_cast<unsigned char>(255 - line[x]);
    line = state->ink;
  }
  state->writer.AddGrayRow(line);
  return true;
}

bool EndPage(pappl_job_t *job, pappl_pr_options_t * /*options*/, pappl_device_t *device,
             unsigned page) {
  auto *state = static_cast<JobState *>(papplJobGetData(job));
  if (!state || !state->started) return false;
  state->started = false;
  const uint32_t rowsWritten = static_cast<uint32_t>(state->writer.RowsAdded());
  bool ok = true;
  if (papplJobIsCanceled(job)) {
    // Nothing more of this page.
  } else if (rowsWritten < state->height) {
    // PAPPL stops delivering rows when a raster stream ends early but still
    // ends the page; a cut page is not printed.
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Page %u ends after %u of its %u rows.", page,
                rowsWritten, state->height);
    papplJobSetMessage(job, "The document is truncated: page %u ends after %u of its %u rows.",
                       page, rowsWritten, state->height);
    papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
    ok = false;
  } else {
    DeviceSink out(job, device, &state->sent);
    const bool sent = state->writer.Finish(out);
    papplDeviceFlush(device);
    if (out.failed() || BytesWritten(device) - state->writtenBefore < state->sent) {
      // The connection is of no more use: the next job opens a new one.
      DropDeviceAfter(job);
      if (!papplJobIsCanceled(job)) {
        papplJobSetMessage(job, "The printer connection was lost on page %u.", page);
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Page %u: the printer connection was lost.", page);
      }
      ok = false;
    } else if (!sent && !papplJobIsCanceled(job)) {
      papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Page %u could not be prepared.", page);
      ok = false;
    }
  }
  return ok;  // the page buffers stay for the next page
}

bool EndJob(pappl_job_t *job, pappl_pr_options_t * /*options*/, pappl_device_t *device) {
  auto *state = static_cast<JobState *>(papplJobGetData(job));
  if (state) {
    delete state;
    papplJobSetData(job, nullptr);
  }
  papplDeviceFlush(device);
  return true;
}

// Documents in the printer's own command language go to it as they are.
bool PrintRaw(pappl_job_t *job, pappl_pr_options_t * /*options*/, pappl_device_t *device) {
  const char *file = papplJobGetFilename(job);  // none when no document arrived
  FILE *in = file ? std::fopen(file, "rb") : nullptr;
  if (!in) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to open the print file.");
    return false;
  }
  JobDeviceStarted(job, device);
  const size_t writtenBefore = BytesWritten(device);
  size_t sent = 0;
  char buffer[65536];
  size_t got;
  bool ok = true;
  while (ok && (got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
    if (papplJobIsCanceled(job)) break;
    ok = papplDeviceWrite(device, buffer, got) >= 0;
    sent += got;
  }
  std::fclose(in);
  papplDeviceFlush(device);
  // As for raster pages: what the device never wrote went nowhere.
  if (!ok || BytesWritten(device) - writtenBefore < sent) {
    DropDeviceAfter(job);
    if (!papplJobIsCanceled(job)) {
      papplJobSetMessage(job, "The printer connection was lost.");
      papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The printer connection was lost.");
    }
    ok = false;
  }
  return ok;
}

void AddRange(ipp_t *attrs, const char *name, int defaultValue, int low, int high) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%s-default", name);
  ippAddInteger(attrs, IPP_TAG_PRINTER, IPP_TAG_INTEGER, buffer, defaultValue);
  std::snprintf(buffer, sizeof buffer, "%s-supported", name);
  ippAddRange(attrs, IPP_TAG_PRINTER, buffer, low, high);
}

void AddBoolean(ipp_t *attrs, const char *name, bool defaultValue) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%s-default", name);
  ippAddBoolean(attrs, IPP_TAG_PRINTER, buffer, defaultValue);
  std::snprintf(buffer, sizeof buffer, "%s-supported", name);
  ippAddBoolean(attrs, IPP_TAG_PRINTER, buffer, 1);
}

int OptionDefault(const Model &model, const char *key) {
  const quillet::OptionSpec *entry = quillet::FindOption(model, key);
  return entry ? entry->defaultValue : 0;
}

}  // namespace

// One PAPPL driver a model row; the IEEE 1284 device ID names the model
// without the make ("MFG:Quillet;MDL:A4 203dpi;").
pappl_pr_driver_t *Drivers() {
  static std::vector<std::string> ids;
  static std::vector<pappl_pr_driver_t> drivers = [] {
    std::vector<pappl_pr_driver_t> list;
    ids.reserve(quillet::kNumModels);
    for (size_t i = 0; i < quillet::kNumModels; ++i) {
      const Model &model = quillet::kModels[i];
      const char *name = model.modelName;
      if (!strncmp(name, kMake, std::strlen(kMake)) && name[std::strlen(kMake)] == ' ')
        name += std::strlen(kMake) + 1;
      ids.push_back(std::string("MFG:") + kMake + ";MDL:" + name + ";");
      list.push_back(pappl_pr_driver_t{model.driverName, model.modelName, ids.back().c_str(), nullptr});
    }
    return list;
  }();
  return drivers.data();
}

int NumDrivers() { return static_cast<int>(quillet::kNumModels); }

settings_ SettingsFor(const Model &model, const pappl_pr_options_t &options, ipp_t *printerAttrs) {
  settings_ s = quillet::DefaultSettings(model);
  char buffer[256];

  if (options.print_speed > 0)
    s.printSpeed = Clamp(std::lround(static_cast<double>(options.print_speed) / kSpeedUnit), 1, 8);

  const int darkness = Clamp(long{options.darkness_configured} + options.print_darkness, 0, 100);
  const int level = (darkness * 15 + 50) / 100;
  if (model.label) {
    s.printDensity = level;
  } else {
    s.density = level;
  }

  // Text is sharpened and thresholded, photos and graphics diffused; with
  // no content named, draft quality (all that CUPS driverless queues
  // pass on) asks for the threshold.
  switch (options.print_content_optimize) {
    case PAPPL_CONTENT_TEXT:
    case PAPPL_CONTENT_TEXT_AND_GRAPHIC: s.halfTone = 0; break;
    case PAPPL_CONTENT_PHOTO:
    case PAPPL_CONTENT_GRAPHIC: s.halfTone = 1; break;
    default: s.halfTone = options.print_quality == IPP_QUALITY_DRAFT ? 0 : 1; break;
  }

  switch (options.orientation_requested) {
    case IPP_ORIENT_LANDSCAPE: s.rotate = quillet::kRotate90; break;
    case IPP_ORIENT_REVERSE_PORTRAIT: s.rotate = model.label ? quillet::kRotate180 : quillet::kRotateNone; break;
    case IPP_ORIENT_REVERSE_LANDSCAPE: s.rotate = model.label ? quillet::kRotate270 : quillet::kRotate90; break;
    default: s.rotate = quillet::kRotateNone; break;
  }

  s.mirror = IsTrue(VendorValue(options, printerAttrs, kMirror, buffer, sizeof buffer)) ? 1 : 0;
  s.reversePhase =
      IsTrue(VendorValue(options, printerAttrs, kNegative, buffer, sizeof buffer)) ? 1 : 0;

  if (model.label) {
    switch (options.media.tracking) {
      case PAPPL_MEDIA_TRACKING_CONTINUOUS: s.paperSel = 0; break;
      case PAPPL_MEDIA_TRACKING_MARK: s.paperSel = 2; break;
      case PAPPL_MEDIA_TRACKING_GAP: s.paperSel = 1; break;
      default: break;
    }
    s.horizontalOffset = Clamp(std::lround(options.media.left_offset * model.dpi / 2540.0), -16, 16);
    s.verticalOffset = Clamp(std::lround(options.media.top_offset * model.dpi / 2540.0), -16, 16);
    if (const char *v = VendorValue(options, printerAttrs, kLabelGap, buffer, sizeof buffer))
      s.labelGap = Clamp(std::atol(v), 0, 10);
    if (const char *v = VendorValue(options, printerAttrs, kStopOffset, buffer, sizeof buffer))
      s.offset = Clamp(std::atol(v), -10, 10);
  } else {
    for (int i = 0; i < 3; ++i) {
      if (!strcmp(options.media.type, kA4Types[i])) s.paperType = i;
    }
    if (const char *v = VendorValue(options, printerAttrs, kDirection, buffer, sizeof buffer))
      s.direction = !strcmp(v, "reversed") ? 1 : 0;
  }
  return s;
}

bool DriverCallback(pappl_system_t * /*system*/, const char *driverName,
                    const char * /*deviceUri*/, const char * /*deviceId*/,
                    pappl_pr_driver_data_t *data, ipp_t **attrs, void * /*context*/) {
  const Model *model = ModelOf(driverName);
  if (!model) return false;

  data->printfile_cb = PrintRaw;
  data->rstartjob_cb = StartJob;
  data->rstartpage_cb = StartPage;
  data->rwriteline_cb = WriteLine;
  data->rendpage_cb = EndPage;
  data->rendjob_cb = EndJob;
  data->format = "application/vnd.quillet-commands";
  std::snprintf(data->make_and_model, sizeof data->make_and_model, "%s", model->modelName);
  data->ppm = model->label ? 10 : 4;
  data->kind = model->label ? PAPPL_KIND_LABEL | PAPPL_KIND_ROLL : PAPPL_KIND_DOCUMENT;

  // Black and white: clients send gray, so colours print as their
  // luminance (the page road's colour rule keeps dark artwork dark and
  // would print a photo black); sRGB raster is still taken and printed as
  // before (sgray_8 comes first in the list; no SRGB24 for Apple raster,
  // pappl_workarounds.cpp). The road wants 8-bit lines and does its own
  // binarisation: PAPPL must never dither.
  data->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME;
  data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
  data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8 | PAPPL_PWG_RASTER_TYPE_SRGB_8;
  data->force_raster_type = PAPPL_PWG_RASTER_TYPE_NONE;
  data->content_default = PAPPL_CONTENT_AUTO;
  data->quality_default = IPP_QUALITY_NORMAL;
  data->scaling_default = PAPPL_SCALING_AUTO;
  // Images still turn to fit the page when a job asks for no orientation
  // (page_input.cpp); IPP Everywhere wants a default other than none.
  data->orient_default = IPP_ORIENT_PORTRAIT;
  data->duplex = PAPPL_DUPLEX_NONE;
  data->sides_supported = PAPPL_SIDES_ONE_SIDED;
  data->sides_default = PAPPL_SIDES_ONE_SIDED;
  data->finishings = PAPPL_FINISHINGS_NONE;

  data->num_resolution = 1;
  data->x_resolution[0] = data->y_resolution[0] = model->dpi;
  data->x_default = data->y_default = model->dpi;

  // The head prints edge to edge, but clients place a page on a size
  // with margins (a CUPS driverless queue names zero-margin sizes
  // ".Borderless" and then matches none of them to the default size), so
  // the sizes come with margins and without.
  data->borderless = true;
  data->left_right = model->label ? kLabelMargin : kA4Margin;
  data->bottom_top = model->label ? kLabelMargin : kA4Margin;

  data->num_media = 0;
  for (size_t i = 0; i < model->numMedia && data->num_media < PAPPL_MAX_MEDIA; ++i)
    data->media[data->num_media++] = model->media[i].pwgName;
  if (model->maxWidth) {
    data->media[data->num_media++] = CustomSizeName(*model, false);
    data->media[data->num_media++] = CustomSizeName(*model, true);
  }

  data->num_source = 1;
  data->source[0] = model->label ? "main-roll" : "main";

  pappl_media_col_t &media = data->media_default;
  std::memset(&media, 0, sizeof media);
  const quillet::MediaSize &size = model->media[model->defaultMedia];
  std::snprintf(media.size_name, sizeof media.size_name, "%s", size.pwgName);
  media.size_width = size.width;
  media.size_length = size.length;
  std::snprintf(media.source, sizeof media.source, "%s", data->source[0]);
  media.left_margin = media.right_margin = data->left_right;
  media.bottom_margin = media.top_margin = data->bottom_top;

  if (model->label) {
    data->num_type = 1;
    data->type[0] = "labels";
    data->tracking_supported = PAPPL_MEDIA_TRACKING_CONTINUOUS | PAPPL_MEDIA_TRACKING_GAP |
                               PAPPL_MEDIA_TRACKING_MARK;
    const int paperSel = OptionDefault(*model, "OP_PaperSel");
    media.tracking = paperSel == 0   ? PAPPL_MEDIA_TRACKING_CONTINUOUS
                     : paperSel == 2 ? PAPPL_MEDIA_TRACKING_MARK
                                     : PAPPL_MEDIA_TRACKING_GAP;
    // Shifts of up to 16 dots, in hundredths of a millimetre.
    data->left_offset_supported[0] = data->top_offset_supported[0] = -200;
    data->left_offset_supported[1] = data->top_offset_supported[1] = 200;
  } else {
    data->num_type = 3;
    for (int i = 0; i < 3; ++i) data->type[i] = kA4Types[i];
    data->tracking_supported = PAPPL_MEDIA_TRACKING_CONTINUOUS;
    media.tracking = PAPPL_MEDIA_TRACKING_CONTINUOUS;
  }
  std::snprintf(media.type, sizeof media.type, "%s",
                model->label ? "labels" : kA4Types[OptionDefault(*model, "OP_PaperType")]);
  data->media_ready[0] = media;

  data->speed_supported[0] = kSpeedUnit;
  data->speed_supported[1] = 8 * kSpeedUnit;
  data->speed_default = OptionDefault(*model, "OP_PrintSpeed") * kSpeedUnit;
  data->darkness_supported = 16;
  data->darkness_configured = kDarknessConfigured;
  data->darkness_default = 0;

  *attrs = ippNew();
  AddStringsLanguages(*attrs);
  AddPictures(data, model->label);
  data->num_vendor = 0;
  data->vendor[data->num_vendor++] = kMirror;
  AddBoolean(*attrs, kMirror, OptionDefault(*model, "OP_Mirror") != 0);
  data->vendor[data->num_vendor++] = kNegative;
  AddBoolean(*attrs, kNegative, OptionDefault(*model, "OP_ReversePhase") != 0);
  if (model->label) {
    const quillet::OptionSpec *gap = quillet::FindOption(*model, "OP_LabelGAP");
    const quillet::OptionSpec *stop = quillet::FindOption(*model, "OP_OFFSet");
    data->vendor[data->num_vendor++] = kLabelGap;
    AddRange(*attrs, kLabelGap, gap->defaultValue, gap->min, gap->max);
    data->vendor[data->num_vendor++] = kStopOffset;
    AddRange(*attrs, kStopOffset, stop->defaultValue, stop->min, stop->max);
  } else {
    static const char *const directions[] = {"normal", "reversed"};
    data->vendor[data->num_vendor++] = kDirection;
    ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "quillet-direction-default", nullptr,
                 directions[OptionDefault(*model, "OP_Direction") ? 1 : 0]);
    ippAddStrings(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "quillet-direction-supported", 2,
                  nullptr, directions);
  }
  return true;
}

const char *AutoAdd(const char * /*deviceInfo*/, const char * /*deviceUri*/, const char *deviceId,
                    void * /*context*/) {
  if (!deviceId) return nullptr;
  cups_option_t *pairs = nullptr;
  const int n = papplDeviceParseID(deviceId, &pairs);
  const char *make = cupsGetOption("MANUFACTURER", n, pairs);
  if (!make) make = cupsGetOption("MFG", n, pairs);
  const char *model = cupsGetOption("MODEL", n, pairs);
  if (!model) model = cupsGetOption("MDL", n, pairs);
  // A label printer says so in its model name; among the rows of its kind
  // the one whose resolution the name gives, else the first.
  const char *driver = nullptr;
  if (make && model && !strncasecmp(make, kMake, std::strlen(kMake))) {
    const bool label = strcasestr(model, "label") != nullptr;
    for (size_t i = 0; i < quillet::kNumModels; ++i) {
      const Model &row = quillet::kModels[i];
      if (row.label != label) continue;
      if (!driver) driver = row.driverName;
      if (strstr(model, std::to_string(row.dpi).c_str())) {
        driver = row.driverName;
        break;
      }
    }
  }
  cupsFreeOptions(n, pairs);
  return driver;
}

}  // namespace quillet_app
