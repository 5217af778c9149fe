#pragma once
// Small helpers the Win32 implementation files share.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/types.h"
#include "system_libraries.h"

namespace platform::win32 {

// A record's text as the Windows records take it: NULL when empty.
inline LPWSTR Text(const std::wstring& text) {
  return text.empty() ? nullptr : const_cast<LPWSTR>(text.c_str());
}

// A wide text from a record field that may be NULL.
inline std::wstring Copy(LPCWSTR text) { return text ? std::wstring(text) : std::wstring(); }

// A zero-separated list ended by two zeros; empty for an empty list.
inline std::wstring MultiString(const std::vector<std::wstring>& items) {
  std::wstring out;
  for (const std::wstring& item : items) {
    out += item;
    out.push_back(L'\0');
  }
  if (!out.empty()) out.push_back(L'\0');
  return out;
}

inline GUID ToGuid(const Guid& g) {
  GUID out;
  out.Data1 = g.data1;
  out.Data2 = g.data2;
  out.Data3 = g.data3;
  for (int i = 0; i < 8; ++i) out.Data4[i] = g.data4[i];
  return out;
}

inline Guid FromGuid(const GUID& g) {
  Guid out;
  out.data1 = g.Data1;
  out.data2 = g.Data2;
  out.data3 = g.Data3;
  for (int i = 0; i < 8; ++i) out.data4[i] = g.Data4[i];
  return out;
}

// A system-folder library loaded for one use and released when it goes,
// unless kept.
class Library {
 public:
  explicit Library(const wchar_t* name) : module_(LoadSystemLibrary(name)) {}
  ~Library() {
    if (module_) FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool Loaded() const { return module_ != nullptr; }
  // The entry point by name, typed; nullptr when it is missing.
  template <typename F>
  F Entry(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }
  // Leaves the library loaded for the rest of the process.
  void Keep() { module_ = nullptr; }

 private:
  HMODULE module_;
};

}  // namespace platform::win32
