// The language-file loader on arbitrary bytes, read from an archive as the
// program reads its lan_*.xml: a file that does not parse leaves the text
// table as it was; one that parses puts each "Text" of the root into the
// table, the last of an id winning.
#include <map>
#include <string>

#include "fuzz_check.h"
#include "toolkit/toolkit.h"
#include "zip_test_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CResourceManager& res = CResourceManager::GetInstance();
  res.Release();
  res.SetResourceType(UILIB_ZIPRESOURCE);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<uint8_t> archive = testzip::Make({{"lan_xx.xml", bytes, true}}, "fuzz");
  FUZZ_CHECK(res.SetResourceZip(archive.data(), archive.size(), L"fuzz"));
  const std::wstring before = L"\x1F" L"earlier";
  res.SetText(before, L"kept");

  const bool loaded = res.LoadLanguage(L"lan_xx.xml");
  toolkit::XmlNode root;
  FUZZ_CHECK(loaded == toolkit::ParseXml(data, size, root));
  std::map<std::wstring, std::wstring> expected;
  if (loaded) {
    for (const auto& child : root.children) {
      const std::wstring* id = child.AttrNoCase(L"id");
      const std::wstring* value = child.AttrNoCase(L"value");
      if (toolkit::EqualsNoCase(child.name, L"Text") && id && value) expected[*id] = *value;
    }
  }
  for (const auto& kv : expected) FUZZ_CHECK(res.GetText(kv.first.c_str()) == kv.second);
  if (!expected.count(before)) FUZZ_CHECK(res.GetText(before.c_str()) == L"kept");
  return 0;
}
