// Job start-up of rastertoquillet: arguments, PPD and the job settings.
#ifndef QUILLET_FILTER_SETTINGS_H
#define QUILLET_FILTER_SETTINGS_H

#include <cstdint>

#include <cups/cups.h>
#include <cups/ppd.h>

#include "job_settings.h"

// The job as the scheduler described it on the command line.
struct JobInfo {
  int32_t jobId = 0;
  const char *user = nullptr;   // argument 2, not copied
  const char *title = nullptr;  // argument 3, not copied
  int32_t numOptions = 0;
  cups_option_t *options = nullptr;  // released by the caller with cupsFreeOptions
};

// Checks the arguments, sets the message language, parses the job options,
// opens the PPD named by $PPD, marks its defaults and the job's options and
// fills `settings`.  Returns the open PPD, or null after writing the reason.
ppd_file_t *InitializeWithSetting(int32_t argc, char *argv[], JobInfo *job, settings_ *settings);

// Fills `settings` from an opened and marked PPD; all zero without one.
void initializeSettings(ppd_file_t *ppd, settings_ *settings);

// Value of an option whose choices are decimal keywords; 0 without a choice.
int32_t getOptionChoiceIndex(const char *key, ppd_file_t *ppd);

// Value of an on/off option as 0 or 1; 0 without a choice.
int32_t getBooleanOption(const char *key, ppd_file_t *ppd);

#endif
