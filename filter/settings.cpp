// Job settings: the printer options of the queue's PPD, with the job's own
// options applied, reduced to the flat integer record the encoder uses.
#include "settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <strings.h>

#include "messages.h"

namespace {

// The choice that applies to an option: the marked one, else the PPD's
// default; null when the option or the choice does not exist.
ppd_choice_t *ResolveChoice(const char *key, ppd_file_t *ppd) {
  if (!key || !ppd) return nullptr;
  ppd_choice_t *choice = ppdFindMarkedChoice(ppd, key);
  if (choice) return choice;
  ppd_option_t *option = ppdFindOption(ppd, key);
  if (!option) return nullptr;
  return ppdFindChoice(option, option->defchoice);
}

}  // namespace

// Start-up of the job.
ppd_file_t *InitializeWithSetting(int32_t argc, char *argv[], JobInfo *job, settings_ *settings) {
  if (argc < 6 || argc > 7) {
    std::fprintf(stderr, "Usage: %s job user title copies options [filename]\n", argv[0]);
    return nullptr;
  }
  SetLocale();

  job->jobId = std::atoi(argv[1]);
  job->user = argv[2];
  job->title = argv[3];
  job->numOptions = cupsParseOptions(argv[5], 0, &job->options);

  errno = 0;
  ppd_file_t *ppd = ppdOpenFile(std::getenv("PPD"));
  if (!ppd) {
    // The system's error text names why the file could not be read; for an
    // unset path or a malformed file errno says nothing, so CUPS's own
    // reason is given instead of "Success".
    int line = 0;
    const ppd_status_t status = ppdLastError(&line);
    const char *reason = (status == PPD_FILE_OPEN_ERROR && errno) ? std::strerror(errno)
                                                                   : ppdErrorString(status);
    LogMessage("ERROR", N_("Unable to open PPD file: %s"), reason);
    return nullptr;
  }
  ppdMarkDefaults(ppd);
  cupsMarkOptions(ppd, job->numOptions, job->options);
  initializeSettings(ppd, settings);
  return ppd;
}

// Fills the settings record in the field order of settings_.
void initializeSettings(ppd_file_t *ppd, settings_ *settings) {
  *settings = settings_{};
  if (!ppd) return;
  settings->modelNumber = ppd->model_number;
  settings->printDensity = getOptionChoiceIndex("OP_PrintDensity", ppd);
  settings->printSpeed = getOptionChoiceIndex("OP_PrintSpeed", ppd);
  settings->labelGap = getOptionChoiceIndex("OP_LabelGAP", ppd);
  settings->paperSel = getOptionChoiceIndex("OP_PaperSel", ppd);
  settings->mediaSel = getOptionChoiceIndex("OP_MediaSel", ppd);
  settings->afterDo = getOptionChoiceIndex("OP_AfterDo", ppd);
  settings->cutPage = getOptionChoiceIndex("OP_CutPage", ppd);
  settings->offset = getOptionChoiceIndex("OP_OFFSet", ppd);
  settings->rotate = getOptionChoiceIndex("OP_Rotate", ppd);
  settings->mirror = getOptionChoiceIndex("OP_Mirror", ppd);
  settings->reversePhase = getOptionChoiceIndex("OP_ReversePhase", ppd);
  settings->horizontalOffset = getOptionChoiceIndex("OP_HorizontalOffset", ppd);
  settings->verticalOffset = getOptionChoiceIndex("OP_VerticalOffset", ppd);
  settings->rememberToPrint = getOptionChoiceIndex("OP_RememberToPrint", ppd);
  settings->paperType = getOptionChoiceIndex("OP_PaperType", ppd);
  settings->density = getOptionChoiceIndex("OP_Density", ppd);
  settings->halfTone = getBooleanOption("OP_HalfTone", ppd);
  settings->direction = getOptionChoiceIndex("OP_Direction", ppd);
}

// Integer rule: atoi of the choice keyword.
int32_t getOptionChoiceIndex(const char *key, ppd_file_t *ppd) {
  const ppd_choice_t *choice = ResolveChoice(key, ppd);
  return choice ? std::atoi(choice->choice) : 0;
}

// Boolean rule: the usual on/off words, else a whole decimal number; see the
// header.
int32_t getBooleanOption(const char *key, ppd_file_t *ppd) {
  const ppd_choice_t *choice = ResolveChoice(key, ppd);
  if (!choice) return 0;
  const char *word = choice->choice;
  for (const char *on : {"True", "On", "Yes", "Enabled", "1"}) {
    if (strcasecmp(word, on) == 0) return 1;
  }
  for (const char *off : {"False", "Off", "No", "Disabled", "0"}) {
    if (strcasecmp(word, off) == 0) return 0;
  }
  char *end = nullptr;
  errno = 0;
  const long number = std::strtol(word, &end, 10);
  if (end == word || *end != '\0') return 0;
  // A number too large for long still is not zero.
  return (number != 0 || errno == ERANGE) ? 1 : 0;
}
