// The headless message queue and the XML reader at their edges.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_window.h"

namespace {

// Counts the WM_USER messages its handler sees, in order.
class CountingWnd : public TestWnd {
 public:
  CountingWnd() : TestWnd(LR"(<Window size="100,100"><Control/></Window>)") {}
  std::vector<WPARAM> seen;

 protected:
  LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override {
    if (uMsg == WM_USER) {
      seen.push_back(wParam);
      bHandled = TRUE;
      return 0;
    }
    return TestWnd::HandleCustomMessage(uMsg, wParam, lParam, bHandled);
  }
};

bool Parse(const std::string& utf8, toolkit::XmlNode& root) {
  return toolkit::ParseXml(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), root);
}

}  // namespace

TEST(HeadlessQueue, PumpHandlesMessagesPostedAfterAQuitAndLeavesTheQuitForTheLoop) {
  {
    CountingWnd wnd;
    HWND h = wnd.Open();
    ASSERT_NE(h, nullptr);
    toolkit::headless::PumpPending();
    ::PostMessageW(h, WM_USER, 1, 0);
    ::PostQuitMessage(3);
    ::PostMessageW(h, WM_USER, 2, 0);
    EXPECT_EQ(toolkit::headless::PumpPending(), 2);
    EXPECT_EQ(wnd.seen, (std::vector<WPARAM>{1, 2}));
    EXPECT_EQ(toolkit::headless::PumpPending(), 0);  // only the quit is left

    MSG msg;
    EXPECT_FALSE(::GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    ::DestroyWindow(h);
  }
  toolkit::headless::PumpPending();
  CPaintManagerUI::Shutdown();
}

TEST(Xml, EntitiesAndCharacterReferencesDecodeInAttributes) {
  toolkit::XmlNode root;
  ASSERT_TRUE(Parse("<a v=\"&amp;lt; &apos;&gt;\" w='&#x1F600;&#20013;' e=''/>", root));
  EXPECT_EQ(*root.Attr(L"v"), L"&lt; '>");  // decoded once, not twice
  const std::wstring w = *root.Attr(L"w");
  EXPECT_EQ(w, std::wstring(L"\U0001F600") + L"\u4E2D");
  EXPECT_EQ(*root.Attr(L"e"), L"");
  EXPECT_EQ(root.AttrNoCase(L"V"), root.Attr(L"v"));
  EXPECT_EQ(root.Attr(L"V"), nullptr);

  // References that name no character are refused.
  for (const char* bad : {"<a v='&#0;'/>", "<a v='&#x110000;'/>", "<a v='&#xD800;'/>", "<a v='&#;'/>",
                          "<a v='&#99999999999999999999;'/>", "<a v='&amp'/>", "<a v='a & b'/>"})
    EXPECT_FALSE(Parse(bad, root)) << bad;
}

TEST(Xml, CdataCommentsAndDeclarationsAreSkippedAroundElements) {
  toolkit::XmlNode root;
  ASSERT_TRUE(Parse("\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!DOCTYPE r>\n<!-- <x/> -->"
                    "<r><![CDATA[<notanelement/> ]] > & ]]><c n='1'/><!----><c n='2'/></r>\n<!-- after -->",
                    root));
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(*root.children[1].Attr(L"n"), L"2");

  for (const char* bad : {"<r><!-- never closed </r>", "<r><![CDATA[ open </r>", "<r><?pi </r>", "<!-- only -->",
                          "<r></r>trailing<x/>", "<r a='1' a='2'/>"})
    EXPECT_FALSE(Parse(bad, root)) << bad;
}

TEST(Xml, BrokenEncodingsAndTruncationAreRefusedWithoutACrash) {
  toolkit::XmlNode root;
  const std::string good = "<Window size=\"300,200\"><Label name=\"\xE4\xB8\xAD\" text=\"&#x4E2D;\"/></Window>";
  ASSERT_TRUE(Parse(good, root));
  EXPECT_EQ(*root.children[0].Attr(L"name"), L"\u4E2D");

  // Every prefix but the whole document is incomplete.
  for (size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(Parse(good.substr(0, n), root)) << n;

  // Odd-length UTF-16, a lone BOM, bytes that are not UTF-8: refused or
  // read, never a crash.
  const uint8_t odd[] = {0xFF, 0xFE, '<', 0, 'a', 0, '/', 0, '>'};
  EXPECT_FALSE(toolkit::ParseXml(odd, sizeof odd, root));
  const uint8_t bom[] = {0xEF, 0xBB, 0xBF};
  EXPECT_FALSE(toolkit::ParseXml(bom, sizeof bom, root));
  EXPECT_FALSE(toolkit::ParseXml(nullptr, 0, root));
  // Bytes that are not UTF-8 read as U+FFFD, one for each bad byte.
  ASSERT_TRUE(Parse("<a v='\xC3' w='\xF8\x88\x80\x80\x80'/>", root));
  EXPECT_EQ(*root.Attr(L"v"), L"\uFFFD");
  EXPECT_EQ(*root.Attr(L"w"), std::wstring(5, L'\uFFFD'));

  // Single-byte damage anywhere in a document; a NUL, which XML does not
  // allow, is always refused (a key holding one could not be looked up).
  for (size_t i = 0; i < good.size(); ++i)
    for (char c : {'<', '>', '"', '&', '/', '\0', '\xFF'}) {
      std::string damaged = good;
      damaged[i] = c;
      const bool read = Parse(damaged, root);
      if (c == '\0') {
        EXPECT_FALSE(read) << i;
      }
    }
}

TEST(Xml, NestingUpToTheLimitIsAcceptedAndOneMoreIsNot) {
  auto nested = [](int depth) {
    std::wstring s;
    for (int i = 0; i < depth; ++i) s += L"<a>";
    for (int i = 0; i < depth; ++i) s += L"</a>";
    return s;
  };
  toolkit::XmlNode root;
  EXPECT_TRUE(toolkit::ParseXml(nested(256), root));
  EXPECT_FALSE(toolkit::ParseXml(nested(257), root));
}
