// Texts of the engine: language keys, "%s" templates, case folding.
#pragma once

#include <string>
#include <vector>

namespace engine_text {

// The text of a language key in the current language.
std::wstring Text(const wchar_t* key);
// The template with its first "%s" replaced by the argument; the argument
// is never read as a format, so any character in it is safe.
std::wstring Format(const std::wstring& pattern, const std::wstring& argument);
// The template with its "%s" replaced by the arguments in order; text put
// in is never searched again.
std::wstring Format(const std::wstring& pattern, const std::vector<std::wstring>& arguments);
// A language key used as a template.
std::wstring KeyFormat(const wchar_t* key, const std::wstring& argument);
// At most maxUnits code units of text, never ending inside a surrogate pair.
std::wstring Cut(const std::wstring& text, size_t maxUnits);
// Lower case for comparisons that ignore case.
std::wstring Lower(const std::wstring& text);
// A text to go between double quotes on a command line and come out of the
// usual Windows parsing (CommandLineToArgvW) as it is: a double quote in it
// cannot end the quoted part and add arguments.
std::wstring QuotedArgumentBody(const std::wstring& text);

}  // namespace engine_text
