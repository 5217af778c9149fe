// Job settings a CUPS queue sends as text (job_text_options.cpp).
#ifndef QUILLET_PRINTER_APP_JOB_TEXT_OPTIONS_H
#define QUILLET_PRINTER_APP_JOB_TEXT_OPTIONS_H

#include <pappl/pappl.h>

namespace quillet_app {

// Turns print-darkness and print-speed given as whole numbers in text into
// integers in a job request, before PAPPL checks it.
void JobSettingsFromText(ipp_t *request);

}  // namespace quillet_app

#endif
