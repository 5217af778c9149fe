// The process-wide resources: archive, resource index, resource folder and
// the text table. One reader-writer lock guards them, so worker threads can
// look texts up (and read archive entries) while the UI thread merges a
// language file.
#include "toolkit/resource.h"

#include "render.h"
#include "rwlock.h"
#include "toolkit/xml.h"

#include <atomic>
#include <cstdio>
#include <map>

using toolkit::EqualsNoCase;
using toolkit::XmlNode;

struct CResourceManager::Impl {
  mutable RwLock lock;
  UILIB_RESOURCETYPE type = UILIB_FILE;
  std::wstring path;
  toolkit::ZipArchive zip;
  std::map<std::wstring, std::wstring> images;
  std::map<std::wstring, std::wstring> xmls;
  std::map<std::wstring, std::wstring> texts;
  std::atomic<IQueryControlText*> query{nullptr};
};

CResourceManager::CResourceManager() : impl_(new Impl) {}

CResourceManager& CResourceManager::GetInstance() {
  static CResourceManager instance;
  return instance;
}

void CResourceManager::SetResourceType(UILIB_RESOURCETYPE type) {
  WriteGuard g(impl_->lock);
  impl_->type = type;
}

UILIB_RESOURCETYPE CResourceManager::GetResourceType() const {
  ReadGuard g(impl_->lock);
  return impl_->type;
}

void CResourceManager::SetResourcePath(const std::wstring& path) {
  WriteGuard g(impl_->lock);
  impl_->path = path;
  if (!impl_->path.empty() && impl_->path.back() != L'\\' && impl_->path.back() != L'/') impl_->path += L'\\';
}

std::wstring CResourceManager::GetResourcePath() const {
  ReadGuard g(impl_->lock);
  return impl_->path;
}

bool CResourceManager::SetResourceZip(const void* data, size_t size, const std::wstring& password) {
  toolkit::ZipArchive zip;
  bool ok = zip.Open(data, size, render::ZipPasswordBytes(password));
  WriteGuard g(impl_->lock);
  impl_->zip = std::move(zip);
  return ok;
}

bool CResourceManager::IsZipOpen() const {
  ReadGuard g(impl_->lock);
  return impl_->zip.IsOpen();
}

// Reads a loose file below the resource folder.
static bool ReadLooseFile(const std::wstring& folder, const std::wstring& name, std::vector<uint8_t>& out) {
  FILE* f = render::OpenForReading(folder + name);
  if (!f) return false;
  out.clear();
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool CResourceManager::GetFileBytes(const std::wstring& name, std::vector<uint8_t>& out) const {
  out.clear();
  if (name.empty()) return false;
  ReadGuard g(impl_->lock);
  if (impl_->type == UILIB_ZIPRESOURCE) return impl_->zip.Read(toolkit::WideToUtf8(name), out);
  return ReadLooseFile(impl_->path, name, out);
}

std::vector<std::wstring> CResourceManager::ListEntries(const std::wstring& prefix) const {
  std::vector<std::wstring> names;
  std::string p = toolkit::WideToUtf8(prefix);
  for (auto& c : p)
    if (c == '\\') c = '/';
  ReadGuard g(impl_->lock);
  for (const auto& e : impl_->zip.Entries())
    if (e.name.compare(0, p.size(), p) == 0) names.push_back(toolkit::Utf8ToWide(e.name));
  return names;
}

// Walks the index tree in document order; the first mapping of an id wins.
static void CollectIndex(const XmlNode& node, std::map<std::wstring, std::wstring>& images,
                         std::map<std::wstring, std::wstring>& xmls) {
  for (const auto& child : node.children) {
    if (!child.children.empty()) {
      CollectIndex(child, images, xmls);
      continue;
    }
    const std::wstring* id = child.AttrNoCase(L"id");
    const std::wstring* path = child.AttrNoCase(L"path");
    if (!id || !path) continue;
    if (EqualsNoCase(child.name, L"Image")) images.emplace(*id, *path);
    else if (EqualsNoCase(child.name, L"Xml")) xmls.emplace(*id, *path);
  }
}

bool CResourceManager::LoadResource(const std::wstring& indexName) {
  std::vector<uint8_t> bytes;
  if (!GetFileBytes(indexName, bytes)) return false;
  XmlNode root;
  if (!toolkit::ParseXml(bytes.data(), bytes.size(), root)) return false;
  std::map<std::wstring, std::wstring> images, xmls;
  CollectIndex(root, images, xmls);
  WriteGuard g(impl_->lock);
  // Ids already known from an earlier index keep their first path too.
  for (auto& kv : images) impl_->images.emplace(kv.first, kv.second);
  for (auto& kv : xmls) impl_->xmls.emplace(kv.first, kv.second);
  return true;
}

std::wstring CResourceManager::GetImagePath(const std::wstring& id) const {
  ReadGuard g(impl_->lock);
  auto it = impl_->images.find(id);
  return it == impl_->images.end() ? std::wstring() : it->second;
}

std::wstring CResourceManager::GetXmlPath(const std::wstring& id) const {
  ReadGuard g(impl_->lock);
  auto it = impl_->xmls.find(id);
  return it == impl_->xmls.end() ? std::wstring() : it->second;
}

std::wstring CResourceManager::ResolveMarkupName(const std::wstring& name) const {
  if (!name.empty() && name[0] == L'<') return name;
  std::wstring path = GetXmlPath(name);
  return path.empty() ? name : path;
}

// Parses outside the lock, then merges under it, so lookups wait only for
// the map update.
bool CResourceManager::LoadLanguage(const std::wstring& nameOrText) {
  XmlNode root;
  if (!nameOrText.empty() && nameOrText[0] == L'<') {
    if (!toolkit::ParseXml(nameOrText, root)) return false;
  } else {
    std::vector<uint8_t> bytes;
    if (!GetFileBytes(nameOrText, bytes)) return false;
    if (!toolkit::ParseXml(bytes.data(), bytes.size(), root)) return false;
  }
  std::vector<std::pair<std::wstring, std::wstring>> entries;
  for (const auto& child : root.children) {
    if (!EqualsNoCase(child.name, L"Text")) continue;
    const std::wstring* id = child.AttrNoCase(L"id");
    const std::wstring* value = child.AttrNoCase(L"value");
    if (id && value) entries.emplace_back(*id, *value);
  }
  WriteGuard g(impl_->lock);
  for (auto& kv : entries) impl_->texts[kv.first] = std::move(kv.second);
  return true;
}

void CResourceManager::SetText(const std::wstring& key, const std::wstring& text) {
  WriteGuard g(impl_->lock);
  impl_->texts[key] = text;
}

std::wstring CResourceManager::GetText(const wchar_t* key, const wchar_t* controlClass) const {
  if (!key) return std::wstring();
  std::wstring k(key);
  {
    ReadGuard g(impl_->lock);
    auto it = impl_->texts.find(k);
    if (it != impl_->texts.end()) return it->second;
  }
  if (IQueryControlText* q = impl_->query.load()) {
    std::wstring t = q->QueryControlText(key, controlClass ? controlClass : L"");
    if (!t.empty()) return t;
  }
  return k;
}

bool CResourceManager::HasText(const std::wstring& key) const {
  ReadGuard g(impl_->lock);
  return impl_->texts.count(key) != 0;
}

void CResourceManager::SetTextQueryInterface(IQueryControlText* query) { impl_->query.store(query); }

void CResourceManager::Release() {
  WriteGuard g(impl_->lock);
  impl_->zip.Close();
  impl_->images.clear();
  impl_->xmls.clear();
  impl_->texts.clear();
  impl_->query.store(nullptr);
}
