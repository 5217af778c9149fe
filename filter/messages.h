// Message language and the CUPS-style message writer of rastertoquillet.
#ifndef QUILLET_FILTER_MESSAGES_H
#define QUILLET_FILTER_MESSAGES_H

#include <cstddef>

// Text domain of the filter's message catalogue.
constexpr const char *kTextDomain = "rastertoquillet";

// Longest message text (UTF-8, with its terminating zero) that is written.
constexpr std::size_t kMaxMessageBytes = 2048;

// Makes stderr unbuffered and chooses the message language from
// APPLE_LANGUAGE, else LANG, whether or not that locale is generated; with
// neither set, or without a catalogue for the language, messages stay in
// English.
void SetLocale();

// Looks the key `format` up in the catalogue (the key itself when there is
// no translation), formats it and writes "prefix: text\n" to stderr.  A
// text that does not fit into kMaxMessageBytes is not written at all.
void LogMessage(const char *prefix, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// Marks a string as a message key for xgettext without translating it.
#define N_(text) text

#endif
