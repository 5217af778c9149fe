// The resource archive as the build makes it: entries, image variants,
// language files and the control names of every dialog and row markup.
#include "engine/records.h"
#include "localization.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace {

class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(OpenRealArchive()) << PLOVEX_ARCHIVE_FILE; }
  void TearDown() override { CResourceManager::GetInstance().Release(); }
  static CResourceManager& Res() { return CResourceManager::GetInstance(); }

  // The "Text" entries of one language file, parsed on their own.
  static std::map<std::wstring, std::wstring> LanguageFile(const std::wstring& name) {
    std::vector<uint8_t> bytes;
    std::map<std::wstring, std::wstring> texts;
    if (!Res().GetFileBytes(name, bytes)) return texts;
    toolkit::XmlNode root;
    if (!toolkit::ParseXml(bytes.data(), bytes.size(), root)) return texts;
    for (const auto& child : root.children) {
      const std::wstring* id = child.AttrNoCase(L"id");
      const std::wstring* value = child.AttrNoCase(L"value");
      if (id && value) texts[*id] = *value;
    }
    return texts;
  }

  static size_t CountOf(const std::wstring& s, const std::wstring& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::wstring::npos; at = s.find(what, at + 1)) ++n;
    return n;
  }
};

// The language files of the program's language table.
std::vector<std::wstring> LanguageFiles() {
  std::vector<std::wstring> files;
  for (const auto& row : LanguageRows()) files.push_back(row.FileName());
  return files;
}

TEST_F(ArchiveTest, HoldsEveryTopLevelEntryAndTheIndexResolvesTheMainMarkup) {
  const wchar_t* const entries[] = {
      L"res.xml", L"main.xml", L"msg.xml", L"menu.xml", L"skin.xml", L"splash.xml", L"pop_about.xml",
      L"pop_add_port.xml", L"pop_language.xml", L"tab_switch_install.xml", L"tab_switch_delete.xml",
      L"listitem.xml", L"listitem_usb.xml", L"listitemex.xml", L"listitemex_blue.xml", L"treeitem.xml",
      L"tileitem.xml"};
  std::vector<uint8_t> bytes;
  for (const wchar_t* name : entries) EXPECT_TRUE(Res().GetFileBytes(name, bytes)) << toolkit::WideToUtf8(name);
  for (const auto& name : LanguageFiles()) EXPECT_TRUE(Res().GetFileBytes(name, bytes)) << toolkit::WideToUtf8(name);
  // And no language file is left out of the table.
  const auto files = LanguageFiles();
  for (const auto& name : Res().ListEntries(L"")) {
    if (name.rfind(L"lan_", 0) != 0 || name.size() < 4 || name.substr(name.size() - 4) != L".xml") continue;
    EXPECT_NE(std::find(files.begin(), files.end(), name), files.end()) << toolkit::WideToUtf8(name);
  }
  EXPECT_EQ(Res().ResolveMarkupName(L"XML_MAIN"), L"main.xml");
  EXPECT_EQ(Res().ResolveMarkupName(L"pop_about.xml"), L"pop_about.xml");
}

TEST_F(ArchiveTest, EveryImageComesInThreeVariantsInTheSevenFolders) {
  std::set<std::wstring> names;
  for (const auto& name : Res().ListEntries(L"")) names.insert(name);
  std::set<std::wstring> folders, bases;
  for (const auto& name : names) {
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || name.find(L'@') != std::wstring::npos) continue;
    std::wstring ext = name.substr(dot);
    if (ext != L".png" && ext != L".gif") continue;
    bases.insert(name);
    folders.insert(name.substr(0, name.find(L'/') + 1));
    for (const wchar_t* scale : {L"@125", L"@150"}) {
      EXPECT_TRUE(names.count(name.substr(0, dot) + scale + ext)) << toolkit::WideToUtf8(name) << " " << scale;
    }
  }
  // Every image the index names is one of them, so it has its variants too.
  std::vector<uint8_t> bytes;
  toolkit::XmlNode index;
  ASSERT_TRUE(Res().GetFileBytes(L"res.xml", bytes) && toolkit::ParseXml(bytes.data(), bytes.size(), index));
  std::set<std::wstring> indexed;
  for (const auto& group : index.children)
    for (const auto& entry : group.children)
      if (entry.name == L"Image" && entry.Attr(L"path")) indexed.insert(*entry.Attr(L"path"));
  ASSERT_FALSE(indexed.empty());
  for (const auto& path : indexed) EXPECT_TRUE(bases.count(path)) << toolkit::WideToUtf8(path);
  EXPECT_EQ(folders, (std::set<std::wstring>{L"common/", L"sysbtn/", L"skin/", L"menu/", L"main/",
                                             L"other/", L"xml/"}));
}

TEST_F(ArchiveTest, DriverFilesSitUnderTheNamesTheInstallListsUse) {
  std::vector<uint8_t> bytes;
  for (const ModelEntry& model : BuildModelTable()) {
    std::vector<std::wstring> paths = model.stagingDataList;
    paths.push_back(model.infPath);
    paths.push_back(model.certificatePath);
    for (const auto& family : model.installLists) paths.insert(paths.end(), family.second.begin(), family.second.end());
    EXPECT_EQ(model.installLists.size(), model.families.size());
    for (const std::wstring& path : paths)
      EXPECT_TRUE(Res().GetFileBytes(path, bytes) && !bytes.empty()) << toolkit::WideToUtf8(path);
  }
}

// Every language of the table has its file with every key the program
// uses and every key English has, translated, with the same placeholders.
// Languages that English does not name (a new one is named only in its
// own file) need no name elsewhere: they show their own name, which their
// file holds as the table writes it. Nothing else but the names of the
// table's languages is extra.
TEST_F(ArchiveTest, EveryLanguageFileHasEveryKeyTranslatedWithItsPlaceholders) {
  const auto english = LanguageFile(L"lan_en.xml");
  ASSERT_FALSE(english.empty());
  std::set<std::wstring> nameKeys;
  for (const auto& row : LanguageRows()) nameKeys.insert(row.NameKey());
  std::set<std::wstring> titles;
  for (const auto& row : LanguageRows()) {
    SCOPED_TRACE(toolkit::WideToUtf8(row.FileName()));
    auto texts = LanguageFile(row.FileName());
    ASSERT_FALSE(texts.empty()) << "no language file, or an empty one";
    std::set<std::wstring> required(ProgramTextKeys().begin(), ProgramTextKeys().end());
    for (const auto& entry : english) required.insert(entry.first);
    for (const auto& key : nameKeys)
      if (key != row.NameKey() && !english.count(key)) required.erase(key);
    for (const auto& key : required) {
      auto it = texts.find(key);
      ASSERT_TRUE(it != texts.end()) << toolkit::WideToUtf8(key);
      EXPECT_FALSE(it->second.empty()) << toolkit::WideToUtf8(key);
      auto en = english.find(key);
      if (en == english.end()) continue;
      EXPECT_EQ(CountOf(it->second, L"%"), CountOf(en->second, L"%")) << toolkit::WideToUtf8(key);
      EXPECT_EQ(CountOf(it->second, L"%s"), CountOf(en->second, L"%s")) << toolkit::WideToUtf8(key);
    }
    for (const auto& entry : texts)
      EXPECT_TRUE(english.count(entry.first) || nameKeys.count(entry.first)) << toolkit::WideToUtf8(entry.first);
    EXPECT_EQ(texts[row.NameKey()], row.ownName);
    titles.insert(texts[L"mainTitle"]);
  }
  // Really translated: the window title differs in every language.
  EXPECT_EQ(titles.size(), LanguageRows().size());
}

TEST_F(ArchiveTest, DialogAndRowMarkupsHoldTheNamesTheCodeLooksUp) {
  const std::map<std::wstring, std::vector<std::wstring>> names = {
      {L"pop_about.xml", {L"closebtn", L"app_version", L"app_time"}},
      {L"pop_language.xml", {L"closebtn", L"verLanList"}},
      {L"pop_add_port.xml", {L"closebtn", L"listex_addport_type", L"btn_port_add", L"btn_port_cancel"}},
      {L"skin.xml", {L"skin_tab", L"skin_image", L"skin_color", L"skin_image_btn", L"skin_color_btn"}},
      {L"listitemex.xml", {L"label1", L"label2", L"label3"}},
      {L"listitemex_blue.xml", {L"label1", L"label2", L"label1_icon"}},
  };
  for (const auto& file : names) {
    SCOPED_TRACE(toolkit::WideToUtf8(file.first));
    CPaintManagerUI pm;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(file.first, nullptr, &pm);
    ASSERT_NE(root, nullptr) << builder.GetLastError();
    pm.AttachDialog(root);
    for (const auto& name : file.second) EXPECT_NE(pm.FindControl(name), nullptr) << toolkit::WideToUtf8(name);
  }
  // The dialogs' styles exist where the code applies them.
  CPaintManagerUI pm;
  CDialogBuilder builder;
  pm.AttachDialog(builder.Create(L"pop_language.xml", nullptr, &pm));
  std::wstring list;
  EXPECT_TRUE(pm.GetStyle(L"radio_style", list));
}

}  // namespace
