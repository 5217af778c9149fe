// Resources: the encrypted zip archive held in memory, the resource index
// ("res.xml"), the resource folder and the text table.
#pragma once

#include "toolkit/core.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace toolkit {

// A zip archive in a private copy of its bytes. Entries may be stored or
// deflated and may be encrypted with the traditional PKWARE scheme. Every
// offset, size and count is checked against the buffer, so a damaged or
// hostile archive makes Open or Read fail, never read out of bounds;
// inflating stops at the entry's declared size.
class ZipArchive {
 public:
  struct Entry {
    std::string name;  // as stored, '/' separated
    uint16_t flags = 0;
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint16_t modTime = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t size = 0;
    uint32_t localHeaderOffset = 0;
    bool encrypted() const { return (flags & 1) != 0; }
  };

  // Copies the bytes and reads the central directory. False (and an empty
  // archive) when the bytes are not a zip archive this reader supports.
  bool Open(const void* data, size_t size, const std::string& password);
  void Close();
  bool IsOpen() const { return open_; }

  // Exact name first, then ignoring ASCII case; '\\' counts as '/'.
  const Entry* Find(const std::string& name) const;
  // The entry's bytes. False for a missing entry, a wrong password, a
  // damaged entry or a CRC mismatch.
  bool Read(const std::string& name, std::vector<uint8_t>& out) const;
  bool Read(const Entry& entry, std::vector<uint8_t>& out) const;
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::vector<uint8_t> data_;
  std::vector<Entry> entries_;
  std::string password_;
  bool open_ = false;
};

}  // namespace toolkit

enum UILIB_RESOURCETYPE {
  UILIB_FILE = 1,        // loose files under the resource folder
  UILIB_ZIPRESOURCE = 2  // everything from an archive held in memory
};

// The process-wide resource manager. All members may be called from any
// thread; the text table is safe for lookups from worker threads while the
// UI thread merges a language file into it.
class CResourceManager {
 public:
  static CResourceManager& GetInstance();

  void SetResourceType(UILIB_RESOURCETYPE type);
  UILIB_RESOURCETYPE GetResourceType() const;
  // The folder loose files are read from in UILIB_FILE mode; a trailing
  // backslash is added when missing.
  void SetResourcePath(const std::wstring& path);
  std::wstring GetResourcePath() const;

  // Opens the archive from a copy of the bytes. The password is converted
  // to the ANSI code page. False for bytes that are not a zip archive.
  bool SetResourceZip(const void* data, size_t size, const std::wstring& password);
  bool IsZipOpen() const;

  // The bytes of a resource by archive path (or file below the resource
  // folder in UILIB_FILE mode).
  bool GetFileBytes(const std::wstring& name, std::vector<uint8_t>& out) const;
  // The names of archive entries that begin with prefix (for example
  // "driver/a4/"), in archive order.
  std::vector<std::wstring> ListEntries(const std::wstring& prefix) const;

  // Reads the resource index: "Image" and "Xml" elements with "id" and
  // "path", descending into elements with children; the first mapping of
  // an id wins. False when the index is missing or not well-formed.
  bool LoadResource(const std::wstring& indexName = L"res.xml");
  std::wstring GetImagePath(const std::wstring& id) const;  // empty if unknown
  std::wstring GetXmlPath(const std::wstring& id) const;    // empty if unknown
  // Markup text (begins with '<') as it is; otherwise an "Xml" id is
  // replaced by its path and any other name is used as a path.
  std::wstring ResolveMarkupName(const std::wstring& name) const;

  // Merges a language file ("Text" elements with "id" and "value" under
  // the root) into the text table. The argument is an archive path or
  // markup text. A missing or malformed file leaves the table unchanged
  // and returns false.
  bool LoadLanguage(const std::wstring& nameOrText);
  void SetText(const std::wstring& key, const std::wstring& text);
  // The text of a key; a key missing from the table is offered to the
  // text-query interface, and failing that the key itself is returned.
  // A null key gives an empty text.
  std::wstring GetText(const wchar_t* key, const wchar_t* controlClass = nullptr) const;
  bool HasText(const std::wstring& key) const;
  void SetTextQueryInterface(IQueryControlText* query);

  // Frees the index, the text table and the archive.
  void Release();

 private:
  CResourceManager();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
