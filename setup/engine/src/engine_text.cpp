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

// A high surrogate left at the end would be half a character.
std::wstring Cut(const std::wstring& text, size_t maxUnits) {
  if (text.size() <= maxUnits) return text;
  size_t end = maxUnits;
  if (end > 0 && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) --end;
  return text.substr(0, end);
}

// Character by character, in the C library's locale.
std::wstring Lower(const std::wstring& text) {
  std::wstring lower = text;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return lower;
}

// A quote becomes \" and the backslashes just before it are doubled; so are
// backslashes at the end, which the closing quote follows.
std::wstring QuotedArgumentBody(const std::wstring& text) {
  std::wstring out;
  size_t backslashes = 0;
  for (wchar_t c : text) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');
  return out;
}

}  // namespace engine_text
