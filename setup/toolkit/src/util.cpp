// Value syntax helpers shared by the markup reader and the controls.
#include "toolkit/core.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cwctype>

namespace toolkit {

// Parses "#AARRGGBB", "#RRGGBB", "AARRGGBB" or "0xAARRGGBB".
bool ParseColor(const std::wstring& s, DWORD& argb) {
  std::wstring t = s;
  while (!t.empty() && iswspace(t.front())) t.erase(t.begin());
  while (!t.empty() && iswspace(t.back())) t.pop_back();
  if (!t.empty() && t[0] == L'#') t.erase(0, 1);
  else if (t.size() > 2 && t[0] == L'0' && (t[1] == L'x' || t[1] == L'X')) t.erase(0, 2);
  if (t.empty() || t.size() > 8) return false;
  for (wchar_t c : t)
    if (!iswxdigit(c)) return false;
  DWORD v = static_cast<DWORD>(std::wcstoul(t.c_str(), nullptr, 16));
  if (t.size() <= 6) v |= 0xFF000000u;
  argb = v;
  return true;
}

// Reads up to four comma-separated integers.
static void ParseInts(const std::wstring& s, long* out, int count) {
  const wchar_t* p = s.c_str();
  for (int i = 0; i < count; ++i) {
    out[i] = 0;
    while (*p == L' ') ++p;
    if (!*p) continue;
    wchar_t* end = nullptr;
    out[i] = std::wcstol(p, &end, 10);
    p = end;
    while (*p == L' ') ++p;
    if (*p == L',') ++p;
  }
}

RECT ParseRect(const std::wstring& s) {
  long v[4];
  ParseInts(s, v, 4);
  return RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[2]), static_cast<LONG>(v[3])};
}

SIZE ParseSize(const std::wstring& s) {
  long v[2];
  ParseInts(s, v, 2);
  return SIZE{static_cast<LONG>(v[0]), static_cast<LONG>(v[1])};
}

bool ParseBool(const std::wstring& s) { return EqualsNoCase(s, L"true") || s == L"1"; }

std::wstring ToLower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (towlower(a[i]) != towlower(b[i])) return false;
  return true;
}

// Decodes UTF-8; malformed bytes become U+FFFD.
std::wstring Utf8ToWide(const std::string& s) {
  std::wstring out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp;
    int extra;
    if (c < 0x80) { cp = c; extra = 0; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; }
    else { out.push_back(0xFFFD); ++i; continue; }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + k >= s.size() || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    if (!ok) { out.push_back(0xFFFD); ++i; continue; }
    i += extra + 1;
    if (cp > 0x10FFFF) cp = 0xFFFD;
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(cp));
    }
  }
  return out;
}

std::string WideToUtf8(const std::wstring& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = static_cast<uint32_t>(s[i]);
    if (sizeof(wchar_t) == 2 && cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size()) {
      uint32_t lo = static_cast<uint32_t>(s[i + 1]);
      if (lo >= 0xDC00 && lo < 0xE000) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
        ++i;
      }
    }
    if (cp < 0x80) out.push_back(static_cast<char>(cp));
    else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

// DPI * 100 / 96, rounded half up (120 -> 125, 144 -> 150).
int ScaleForDpi(int dpi) {
  if (dpi <= 0) return 100;
  return (dpi * 100 + 48) / 96;
}

// "dir/name.ext" -> "dir/name@150.ext"; only the last dot of the file
// part counts.
std::wstring ScaledImageName(const std::wstring& name, int scalePercent) {
  if (scalePercent == 100) return name;
  size_t slash = name.find_last_of(L"/\\");
  size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return name;
  return name.substr(0, dot) + L"@" + std::to_wstring(scalePercent) + name.substr(dot);
}

}  // namespace toolkit
