// Language table, start-up choice, lookups, merge on switch and fonts.
#include "localization.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class LocalizationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenRealArchive());
    FillLanguageTable(engine);
  }
  void TearDown() override { CResourceManager::GetInstance().Release(); }
  SetupEngine engine;
};

TEST_F(LocalizationTest, TableHasEveryRowInAscendingLangIdOrder) {
  std::vector<LANGID> order, expected;
  for (const auto& row : engine.languages) order.push_back(row.first);
  for (const auto& row : LanguageRows()) expected.push_back(row.langId);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(order, expected);
  EXPECT_EQ(std::adjacent_find(expected.begin(), expected.end()), expected.end()) << "a LANGID twice";
  const LanguageInfo& th = engine.languages.at(1054);
  EXPECT_EQ(th.NameKey(), L"lan.th");
  EXPECT_EQ(th.code, L"th");
  EXPECT_EQ(th.FileName(), L"lan_th.xml");
  EXPECT_EQ(th.fontSize, 20);
  EXPECT_EQ(engine.languages.at(1042).fontSize, 18);
  EXPECT_EQ(engine.languages.at(2052).FileName(), L"lan_cn.xml");
  // The build read the same rows for the tests' language lists.
  std::wstring codes;
  for (const auto& row : engine.languages) codes += (codes.empty() ? L"" : L",") + row.second.code;
  EXPECT_EQ(toolkit::WideToUtf8(codes), PLOVEX_BUILD_LANGUAGES);
}

TEST_F(LocalizationTest, StartUpChoiceNeedsTheExactLangIdElseEnglish) {
  const std::pair<LANGID, LANGID> cases[] = {
      {0x0816, 2070}, {0x0416, 1033}, {0x0C0A, 1033}, {0x0404, 1033}, {0x0804, 2052}, {0x0409, 1033},
      {0x040A, 1034}, {0x0411, 1041}, {0x0412, 1042}, {0x041E, 1054}, {0x0809, 1033}, {0x0000, 1033}};
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseLanguage(engine, c.first), c.second) << std::hex << c.first;
    EXPECT_EQ(engine.currentLanguage, c.second);
    EXPECT_EQ(g_currentLangId.load(), c.second);
    EXPECT_EQ(CurrentLanguageInfo(engine).langId, c.second);
  }
}

TEST_F(LocalizationTest, ChosenLanguageFileIsLoadedAndStartUpUsesTheUiLanguage) {
  toolkit::headless::SetUserUILanguage(0x0411);
  EXPECT_EQ(ChooseStartupLanguage(engine), 1041);
  EXPECT_EQ(LangText(L"mainTitle"), L"プリンターのセットアップ");
  toolkit::headless::SetUserUILanguage(0x0409);
}

TEST_F(LocalizationTest, LookupFallsBackToTheKeyAndGivesEmptyForNull) {
  ChooseLanguage(engine, 1033);
  EXPECT_EQ(LangText(L"tip.installdriversuccess"), L"Printer driver installed.");
  EXPECT_EQ(LangText(L"tip.no.such.key"), L"tip.no.such.key");
  EXPECT_EQ(LangText(nullptr), L"");
  // Before any language file is loaded every lookup shows its key.
  CResourceManager::GetInstance().Release();
  EXPECT_EQ(LangText(L"tip.deletesuccess"), L"tip.deletesuccess");
}

TEST_F(LocalizationTest, SwitchMergesSoKeysMissingInTheNewFileKeepTheOldText) {
  ChooseLanguage(engine, 2052);
  CResourceManager::GetInstance().SetText(L"only.in.chinese", L"仅中文");
  SwitchLanguage(engine, 1033, nullptr, nullptr);
  EXPECT_EQ(engine.currentLanguage, 1033);
  EXPECT_EQ(g_currentLangId.load(), 1033);
  EXPECT_EQ(LangText(L"mainTitle"), L"Printer Setup");
  EXPECT_EQ(LangText(L"only.in.chinese"), L"仅中文");
  // A langId outside the table changes nothing.
  SwitchLanguage(engine, 0x0416, nullptr, nullptr);
  EXPECT_EQ(engine.currentLanguage, 1033);
  // A language the new file does not name shows its own name, not the
  // name the previous file gave it; one the file names, that name.
  engine.languages[0x0436] = LanguageInfo{.code = L"xx", .langId = 0x0436, .locale = L"af-ZA", .ownName = L"Afrikaans"};
  CResourceManager::GetInstance().SetText(L"lan.xx", L"Afrikaans (anders)");
  SwitchLanguage(engine, 1041, nullptr, nullptr);
  EXPECT_EQ(LangText(L"lan.xx"), L"Afrikaans");
  EXPECT_EQ(LangText(L"lan.en"), L"英語 (English)");
}

TEST_F(LocalizationTest, CurrentRowFallsBackToEnglishForAnUnknownLanguage) {
  engine.currentLanguage = 0x0416;
  EXPECT_EQ(CurrentLanguageInfo(engine).langId, 1033);
  SetupEngine empty;
  empty.currentLanguage = 2052;
  EXPECT_EQ(CurrentLanguageInfo(empty).langId, 1033);
}

TEST_F(LocalizationTest, KoreanAndThaiEnlargeTheFontAndUseTitleFont22) {
  for (const auto& row : engine.languages) {
    CPaintManagerUI pm;
    CLabelUI title;
    ApplyLanguageFonts(pm, &title, row.second);
    const TFontInfo& font = pm.GetDefaultFontInfo();
    EXPECT_EQ(font.size, row.second.fontSize) << row.first;
    EXPECT_EQ(pm.GetFontInfo(kStatusLineFont).size, row.second.fontSize - 2) << row.first;
    EXPECT_FALSE(font.bold || font.italic || font.underline);
    EXPECT_EQ(title.GetFont(), row.second.fontSize == 14 ? 3 : 22) << row.first;
  }
  CPaintManagerUI pm;
  ApplyLanguageFonts(pm, nullptr, engine.languages.at(1033));  // no title label: no crash
  EXPECT_EQ(pm.GetDefaultFontInfo().size, 14);
}

}  // namespace
