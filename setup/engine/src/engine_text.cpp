#include "engine_text.h"

#include "toolkit/toolkit.h"

#include <cwctype>

namespace engine_text {

// The resource manager's text table.
std::wstring Text(const wchar_t* key) { return CResourceManager::GetInstance().GetText(key); }

// Only the first "%s" is replaced.
std::wstring Format(const std::wstring& pattern, const std::wstring& argument) {
  std::wstring text = pattern;
  const size_t at = text.find(L"%s");
  if (at != std::wstring::npos) text.replace(at, 2, argument);
  return text;
}

std::wstring Format(const std::wstring& pattern, const std::vector<std::wstring>& arguments) {
  std::wstring text;
  size_t from = 0;
  for (const std::wstring& argument : arguments) {
    const size_t at = pattern.find(L"%s", from);
    if (at == std::wstring::npos) break;
    text += pattern.substr(from, at - from) + argument;
    from = at + 2;
  }
  return text + pattern.substr(from);
}

// Text(key) used as a template.
std::wstring KeyFormat(const wchar_t* key, const std::wstring& argument) { return Format(Text(key), argument); }

// Character by character, in the C library's locale.
std::wstring Lower(const std::wstring& text) {
  std::wstring lower = text;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return lower;
}

}  // namespace engine_text
