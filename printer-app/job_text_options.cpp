// Job settings that arrive as text. A CUPS queue that forwards every
// option (`lpadmin -m raw`; an `-m everywhere` queue forwards only the
// standard attributes its PPD maps) encodes the options it does not know
// as names: `-o print-darkness=100` comes as the name "100", which PAPPL
// refuses for the integer attribute, and the whole job with it. Such a
// value that is a whole number is turned into the integer before PAPPL
// checks the job (pappl_workarounds.cpp calls this from the start of that
// check); anything else is left for PAPPL to judge.
#include "job_text_options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char *kIntegerSettings[] = {"print-darkness", "print-speed"};

bool WholeNumber(const char *text, int *value) {
  if (!text || !*text) return false;
  char *end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno || *end || v < INT_MIN || v > INT_MAX) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace

void quillet_app::JobSettingsFromText(ipp_t *request) {
  for (const char *name : kIntegerSettings) {
    ipp_attribute_t *attr = ippFindAttribute(request, name, IPP_TAG_ZERO);
    if (!attr || ippGetCount(attr) != 1 || ippGetGroupTag(attr) != IPP_TAG_JOB) continue;
    const ipp_tag_t tag = ippGetValueTag(attr);
    if (tag != IPP_TAG_NAME && tag != IPP_TAG_NAMELANG && tag != IPP_TAG_KEYWORD && tag != IPP_TAG_TEXT &&
        tag != IPP_TAG_TEXTLANG)
      continue;
    int value = 0;
    if (!WholeNumber(ippGetString(attr, 0, nullptr), &value)) continue;
    ippDeleteAttribute(request, attr);
    ippAddInteger(request, IPP_TAG_JOB, IPP_TAG_INTEGER, name, value);
  }
}

