// The resource manager: the archive in memory, the resource index, the
// text table and its thread safety, and the DPI naming rules.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "toolkit/toolkit.h"
#include "zip_test_util.h"

namespace {

const wchar_t kPassword[] = L"wkq19990517";

class ResourceTest : public ::testing::Test {
 protected:
  void TearDown() override { CPaintManagerUI::Shutdown(); }
  CResourceManager& res = CResourceManager::GetInstance();

  void OpenArchive(const std::vector<testzip::File>& files) {
    auto bytes = testzip::Make(files, "wkq19990517");
    res.SetResourceType(UILIB_ZIPRESOURCE);
    ASSERT_TRUE(res.SetResourceZip(bytes.data(), bytes.size(), kPassword));
  }
};

}  // namespace

TEST_F(ResourceTest, IndexKeepsFirstMappingAndDescendsIntoGroups) {
  OpenArchive({{"res.xml",
                "<Res><Xml id=\"XML_MAIN\" path=\"main.xml\"/>"
                "<Image id=\"IMG_BG\" path=\"main/bg.png\"/>"
                "<Group><Xml id=\"XML_MSG\" path=\"msg.xml\"/><Xml id=\"XML_MAIN\" path=\"other.xml\"/></Group>"
                "<Image id=\"IMG_BG\" path=\"later.png\"/><Xml id=\"XML_NOPATH\"/></Res>",
                true}});
  ASSERT_TRUE(res.LoadResource(L"res.xml"));
  EXPECT_EQ(res.GetXmlPath(L"XML_MAIN"), L"main.xml");
  EXPECT_EQ(res.GetXmlPath(L"XML_MSG"), L"msg.xml");
  EXPECT_EQ(res.GetImagePath(L"IMG_BG"), L"main/bg.png");
  EXPECT_EQ(res.GetXmlPath(L"XML_NOPATH"), L"");
  EXPECT_EQ(res.GetXmlPath(L"IMG_BG"), L"");  // the two kinds of id are separate

  EXPECT_EQ(res.ResolveMarkupName(L"XML_MAIN"), L"main.xml");
  EXPECT_EQ(res.ResolveMarkupName(L"pop_about.xml"), L"pop_about.xml");
  EXPECT_EQ(res.ResolveMarkupName(L"<Window/>"), L"<Window/>");
}

TEST_F(ResourceTest, MissingOrBrokenIndexIsReported) {
  OpenArchive({{"bad.xml", "<Res><Xml id='a' path='b'></Res>", true}});
  EXPECT_FALSE(res.LoadResource(L"res.xml"));
  EXPECT_FALSE(res.LoadResource(L"bad.xml"));
  EXPECT_EQ(res.GetXmlPath(L"a"), L"");
}

TEST_F(ResourceTest, WrongPasswordMakesEntriesUnreadable) {
  auto bytes = testzip::Make({{"res.xml", "<Res/>", true}}, "wkq19990517");
  res.SetResourceType(UILIB_ZIPRESOURCE);
  ASSERT_TRUE(res.SetResourceZip(bytes.data(), bytes.size(), L"WKQ19990517"));
  std::vector<uint8_t> out;
  EXPECT_FALSE(res.GetFileBytes(L"res.xml", out));
  EXPECT_FALSE(res.LoadResource());
}

TEST_F(ResourceTest, ListsEntriesUnderAFolder) {
  OpenArchive({{"driver/a4/a.dll", "a", false}, {"driver/common/c.dll", "c", false}, {"driver/a4/b.gpd", "b", false}});
  EXPECT_EQ(res.ListEntries(L"driver/a4/"), (std::vector<std::wstring>{L"driver/a4/a.dll", L"driver/a4/b.gpd"}));
  EXPECT_EQ(res.ListEntries(L"driver\\common\\").size(), 1u);
}

TEST_F(ResourceTest, ResourceFolderGetsATrailingBackslash) {
  res.SetResourcePath(L"C:\\prog\\skin\\Mirendo");
  EXPECT_EQ(res.GetResourcePath(), L"C:\\prog\\skin\\Mirendo\\");
  res.SetResourcePath(L"C:\\prog\\skin\\Mirendo\\");
  EXPECT_EQ(res.GetResourcePath(), L"C:\\prog\\skin\\Mirendo\\");
}

TEST_F(ResourceTest, LanguageFilesMergeAndLookupsFallBackToTheKey) {
  OpenArchive({{"lan_cn.xml",
                "\xEF\xBB\xBF<Language><Text id=\"mainTitle\" value=\"\xE6\x89\x93\xE5\x8D\xB0\"/>"
                "<TEXT ID=\"tip.yes\" VALUE=\"\xE6\x98\xAF\"/><Text id=\"noValue\"/><Other id=\"x\" value=\"y\"/>"
                "<Group><Text id=\"deep\" value=\"ignored\"/></Group></Language>",
                true},
               {"lan_en.xml", "<L><Text id=\"mainTitle\" value=\"Printer &amp; driver\"/></L>", true},
               {"broken.xml", "<L><Text id=\"mainTitle\" value=\"X\"></L>", true}});
  ASSERT_TRUE(res.LoadLanguage(L"lan_cn.xml"));
  EXPECT_EQ(res.GetText(L"mainTitle"), L"\u6253\u5370");
  EXPECT_EQ(res.GetText(L"tip.yes"), L"\u662F");
  EXPECT_EQ(res.GetText(L"noValue"), L"noValue");
  EXPECT_EQ(res.GetText(L"x"), L"x");
  EXPECT_EQ(res.GetText(L"deep"), L"deep");
  EXPECT_EQ(res.GetText(L"maintitle"), L"maintitle");  // keys are case-sensitive
  EXPECT_EQ(res.GetText(nullptr), L"");

  // A later file replaces what it has and keeps the rest.
  ASSERT_TRUE(res.LoadLanguage(L"lan_en.xml"));
  EXPECT_EQ(res.GetText(L"mainTitle"), L"Printer & driver");
  EXPECT_EQ(res.GetText(L"tip.yes"), L"\u662F");

  // Broken or missing files change nothing.
  EXPECT_FALSE(res.LoadLanguage(L"broken.xml"));
  EXPECT_FALSE(res.LoadLanguage(L"lan_xx.xml"));
  EXPECT_EQ(res.GetText(L"mainTitle"), L"Printer & driver");
}

TEST_F(ResourceTest, TextQueryInterfaceAnswersMissingKeysOnly) {
  struct Query : IQueryControlText {
    std::wstring QueryControlText(const wchar_t* key, const wchar_t*) override {
      return std::wstring(key) == L"asked" ? L"answer" : L"";
    }
  } query;
  res.SetText(L"known", L"table");
  res.SetTextQueryInterface(&query);
  EXPECT_EQ(res.GetText(L"known"), L"table");
  EXPECT_EQ(res.GetText(L"asked"), L"answer");
  EXPECT_EQ(res.GetText(L"other"), L"other");
  res.SetTextQueryInterface(nullptr);
}

// Worker threads look texts up while the UI thread merges languages: every
// answer is one of the loaded texts, never a torn or missing one.
TEST_F(ResourceTest, LookupsAreSafeDuringAConcurrentMerge) {
  const std::wstring cn = L"<L><Text id=\"k1\" value=\"cn1\"/><Text id=\"k2\" value=\"cn2\"/></L>";
  const std::wstring en = L"<L><Text id=\"k1\" value=\"en1\"/><Text id=\"k2\" value=\"en2\"/></L>";
  ASSERT_TRUE(res.LoadLanguage(cn));
  std::atomic<bool> stop{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      while (!stop) {
        std::wstring a = res.GetText(L"k1"), b = res.GetText(L"k2");
        if ((a != L"cn1" && a != L"en1") || (b != L"cn2" && b != L"en2")) ++bad;
      }
    });
  }
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(res.LoadLanguage(i % 2 ? cn : en));
  stop = true;
  for (auto& t : readers) t.join();
  EXPECT_EQ(bad.load(), 0);
}

TEST(DpiRules, ScaleIsDpiTimes100Over96Rounded) {
  EXPECT_EQ(toolkit::ScaleForDpi(96), 100);
  EXPECT_EQ(toolkit::ScaleForDpi(120), 125);
  EXPECT_EQ(toolkit::ScaleForDpi(144), 150);
  EXPECT_EQ(toolkit::ScaleForDpi(192), 200);
  EXPECT_EQ(toolkit::ScaleForDpi(100), 104);  // 104.17
  EXPECT_EQ(toolkit::ScaleForDpi(110), 115);  // 114.58 rounds up
  EXPECT_EQ(toolkit::ScaleForDpi(0), 100);
}

TEST(DpiRules, VariantNamesPutTheScaleBeforeTheExtension) {
  EXPECT_EQ(toolkit::ScaledImageName(L"common/button_hover.png", 150), L"common/button_hover@150.png");
  EXPECT_EQ(toolkit::ScaledImageName(L"common/button_hover.png", 125), L"common/button_hover@125.png");
  EXPECT_EQ(toolkit::ScaledImageName(L"common/button_hover.png", 100), L"common/button_hover.png");
  EXPECT_EQ(toolkit::ScaledImageName(L"a.b/noext", 150), L"a.b/noext");
  EXPECT_EQ(toolkit::ScaledImageName(L"x.tar.gif", 150), L"x.tar@150.gif");
}

TEST(Xml, ParsesEntitiesEncodingsAndRejectsMalformedText) {
  toolkit::XmlNode root;
  ASSERT_TRUE(toolkit::ParseXml(L"<?xml version='1.0'?><!-- c --><a x='&lt;&#65;&#x42;&quot;'><b/><![CDATA[<z>]]>t</a>", root));
  EXPECT_EQ(root.name, L"a");
  EXPECT_EQ(*root.Attr(L"x"), L"<AB\"");
  EXPECT_EQ(root.children.size(), 1u);

  const uint8_t utf16[] = {0xFF, 0xFE, '<', 0, 'r', 0, ' ', 0, 'v', 0, '=', 0, '"', 0, 0x2D, 0x4E, '"', 0, '/', 0, '>', 0};
  ASSERT_TRUE(toolkit::ParseXml(utf16, sizeof utf16, root));
  EXPECT_EQ(*root.Attr(L"v"), L"\u4E2D");

  for (const wchar_t* bad : {L"", L"<a>", L"<a></b>", L"<a x=1/>", L"<a x='1' x2='&bogus;'/>", L"<a/><b/>", L"<a x='<'/>"})
    EXPECT_FALSE(toolkit::ParseXml(bad, root)) << toolkit::WideToUtf8(bad);
  std::wstring deep;
  for (int i = 0; i < 300; ++i) deep += L"<a>";
  EXPECT_FALSE(toolkit::ParseXml(deep, root));
}

TEST_F(ResourceTest, ArchivePathsMatchExactlyFirstThenIgnoringCaseAndSlashes) {
  OpenArchive({{"Common/Bg.png", "upper", false}, {"common/bg.png", "lower", false}, {"main/title.png", "t", true}});
  std::vector<uint8_t> out;
  auto text = [&] { return std::string(out.begin(), out.end()); };
  ASSERT_TRUE(res.GetFileBytes(L"Common/Bg.png", out));
  EXPECT_EQ(text(), "upper");
  ASSERT_TRUE(res.GetFileBytes(L"common/bg.png", out));
  EXPECT_EQ(text(), "lower");
  ASSERT_TRUE(res.GetFileBytes(L"MAIN\\Title.PNG", out));
  EXPECT_EQ(text(), "t");
  EXPECT_FALSE(res.GetFileBytes(L"main/title.png/", out));
  EXPECT_FALSE(res.GetFileBytes(L"title.png", out));
  EXPECT_FALSE(res.GetFileBytes(L"", out));
}

TEST_F(ResourceTest, TextsSetFromCodeAndLaterMergesOverrideInOrder) {
  res.SetText(L"k", L"from code");
  EXPECT_EQ(res.GetText(L"k"), L"from code");
  ASSERT_TRUE(res.LoadLanguage(L"<L><Text id=\"k\" value=\"first\"/><Text id=\"k\" value=\"second\"/>"
                               L"<Text id=\"empty\" value=\"\"/></L>"));
  EXPECT_EQ(res.GetText(L"k"), L"second");  // within one file the last entry wins too
  EXPECT_EQ(res.GetText(L"empty"), L"");   // an empty text is a text, not a missing key
  EXPECT_EQ(res.GetText(L""), L"");
  // Shutdown forgets the table.
  CPaintManagerUI::Shutdown();
  EXPECT_EQ(res.GetText(L"k"), L"k");
}
