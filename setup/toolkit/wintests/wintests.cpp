// Tests of the Win32 host, run under Wine: a window built from markup,
// DPI scaling, painting, and PNG loading from an encrypted archive.
#include <gtest/gtest.h>

#include <zlib.h>

#include "toolkit/toolkit.h"

#include <objidl.h>
#include <gdiplus.h>
#include <oleacc.h>
#include <richedit.h>
#include <cstdlib>
#include "render_win32.h"
#include "zip_test_util.h"

// The delay-load slot of a GDI+ function the toolkit never calls.
#ifdef _WIN64
extern "C" void* g_decodersSizeSlot __asm__("__imp_GdipGetImageDecodersSize");
#else
extern "C" void* g_decodersSizeSlot __asm__("__imp__GdipGetImageDecodersSize@8");
#endif

namespace {

const wchar_t kMarkup[] = LR"(<Window size="560,400" caption="0,0,0,30">
  <Font id="3" name="Tahoma" size="18" bold="true"/>
  <VerticalLayout name="root" bkcolor="#FFF0F0F0">
    <Label name="title_lb" font="3" text="Title" height="30" textcolor="#FF000000"/>
    <Button name="dpi_btn" userdata="144" text="DPI" height="40" bkimage="common/dot.png" bordersize="1" bordercolor="#FF0000FF"/>
    <Edit name="edit_name" height="40" text="edit"/>
    <RichEdit name="wordedit_log" height="80"/>
    <Progress name="progress" height="10" value="40" forecolor="#FF00FF00"/>
    <ColorPalette name="Pallet" height="30"/>
    <List name="list"><ListHeader height="20"><ListHeaderItem text="No." width="60"/><ListHeaderItem text="Name" width="200"/></ListHeader></List>
  </VerticalLayout></Window>)";

// A tiny valid PNG (width x height, grey), built with zlib.
std::string MakePng(uint32_t width, uint32_t height, bool blue = false) {
  auto be32 = [](std::string& s, uint32_t v) {
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto chunk = [&](std::string& png, const char* type, const std::string& data) {
    be32(png, static_cast<uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    png += body;
    be32(png, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
  };
  std::string ihdr;
  be32(ihdr, width);
  be32(ihdr, height);
  // 8-bit greyscale, or opaque blue with alpha as the skin's buttons are
  ihdr += blue ? std::string("\x08\x06\x00\x00\x00", 5) : std::string("\x08\x00\x00\x00\x00", 5);
  std::string raw;
  for (uint32_t y = 0; y < height; ++y) {
    raw += '\0';
    for (uint32_t x = 0; x < width; ++x) raw += blue ? std::string("\x2F\x6F\xEB\xFF", 4) : std::string(1, '\x80');
  }
  uLongf len = compressBound(static_cast<uLong>(raw.size()));
  std::string z(len, '\0');
  compress(reinterpret_cast<Bytef*>(&z[0]), &len, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
  z.resize(len);
  std::string png("\x89PNG\r\n\x1a\n", 8);
  chunk(png, "IHDR", ihdr);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", "");
  return png;
}

class TestWnd : public WindowImplBase {
 public:
  CPaintManagerUI& pm() { return m_pm; }

 protected:
  const wchar_t* GetWindowClassName() const override { return L"ToolkitTestWnd"; }
  std::wstring GetSkinFile() override { return L"XML_MAIN"; }
};

class Win32Host : public ::testing::Test {
 protected:
  void SetUp() override {
    auto bytes = testzip::Make({{"res.xml", "<Res><Xml id=\"XML_MAIN\" path=\"main.xml\"/></Res>", true},
                                {"main.xml", toolkit::WideToUtf8(kMarkup), true},
                                {"common/dot.png", MakePng(8, 6), true},
                                {"common/dot@150.png", MakePng(12, 9), true},
                                {"common/blue.png", MakePng(96, 30, true), true}},
                               "wkq19990517");
    auto& res = CResourceManager::GetInstance();
    res.SetResourceType(UILIB_ZIPRESOURCE);
    ASSERT_TRUE(res.SetResourceZip(bytes.data(), bytes.size(), L"wkq19990517"));
    ASSERT_TRUE(res.LoadResource(L"res.xml"));
    CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
  }
  void TearDown() override {
    if (wnd.GetHWND()) DestroyWindow(wnd.GetHWND());
    CPaintManagerUI::Shutdown();
  }
  TestWnd wnd;
};

RECT WindowRect(HWND h) {
  RECT rc{};
  GetWindowRect(h, &rc);
  return rc;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace

TEST_F(Win32Host, BuildsTheWindowFromMarkupAtItsSize) {
  HWND h = wnd.Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 300, 200);
  ASSERT_NE(h, nullptr);
  int scale = wnd.pm().GetScale();
  RECT rc = WindowRect(h);
  EXPECT_EQ(rc.right - rc.left, 560 * scale / 100);
  EXPECT_EQ(rc.bottom - rc.top, 400 * scale / 100);
  EXPECT_EQ(GetWindowLongW(h, GWL_STYLE) & WS_CAPTION, 0);
  ASSERT_NE(wnd.pm().FindControl(L"dpi_btn"), nullptr);
  auto* edit = wnd.pm().FindControlAs<CEditUI>(L"edit_name");
  ASSERT_NE(edit, nullptr);
  ASSERT_NE(edit->GetNativeWindow(), nullptr);  // a real EDIT child
  auto* log = wnd.pm().FindControlAs<CRichEditUI>(L"wordedit_log");
  ASSERT_NE(log->GetNativeWindow(), nullptr);  // Msftedit's RICHEDIT50W
  TCharFormatUI red;
  red.mask = 0xE0000007;
  red.heightTwips = 225;
  red.textColor = RGB(255, 0, 0);
  EXPECT_TRUE(log->SetSelectionCharFormat(red));
  log->AppendText(L"line\r\n");
  log->EndDown();
  EXPECT_GT(GetWindowTextLengthW(log->GetNativeWindow()), 0);
}

// Colour of the character at `pos` of a native rich edit box.
COLORREF ColourAt(HWND box, int pos) {
  SendMessageW(box, EM_SETSEL, pos, pos + 1);
  CHARFORMAT2W cf;
  ZeroMemory(&cf, sizeof cf);
  cf.cbSize = sizeof cf;
  SendMessageW(box, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&cf));
  return cf.crTextColor;
}

// Newer linkers make the import section, where the delay-load helper
// writes each resolved address, read-only: the first call faulted.
TEST_F(Win32Host, DelayLoadedCallsResolveIntoReadOnlySlots) {
  ASSERT_NE(wnd.Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 300, 200), nullptr);
  void* const thunk = g_decodersSizeSlot;
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(&g_decodersSizeSlot, sizeof(void*), PAGE_READONLY, &old));
  UINT count = 0, size = 0;
  EXPECT_EQ(Gdiplus::DllExports::GdipGetImageDecodersSize(&count, &size), Gdiplus::Ok);
  EXPECT_GT(count, 0u);
  EXPECT_NE(g_decodersSizeSlot, thunk);
}

TEST_F(Win32Host, LogFormatGoesToTheEndEvenAfterTheUserMovedTheSelection) {
  HWND h = wnd.Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  ASSERT_NE(h, nullptr);
  auto* log = wnd.pm().FindControlAs<CRichEditUI>(L"wordedit_log");
  HWND box = log->GetNativeWindow();
  ASSERT_NE(box, nullptr);
  TCharFormatUI format;
  format.mask = 0xE0000007;
  format.heightTwips = 225;
  format.textColor = RGB(0, 0, 255);
  log->SetSelectionCharFormat(format);
  log->AppendText(L"first line\r\n");
  // The user clicks into the first word.
  SendMessageW(box, EM_SETSEL, 1, 3);
  format.textColor = RGB(255, 0, 0);
  log->SetSelectionCharFormat(format);
  log->AppendText(L"error\r\n");
  EXPECT_EQ(ColourAt(box, 1), RGB(0, 0, 255));  // the clicked word keeps its colour
  const int errorAt = static_cast<int>(std::wstring(L"first line\r").size());
  EXPECT_EQ(ColourAt(box, errorAt), RGB(255, 0, 0));  // the new line is red
}

TEST_F(Win32Host, DpiSwitchScalesTheWindowAboutItsTopLeftCorner) {
  HWND h = wnd.Create(nullptr, L"printer driver", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  ASSERT_NE(h, nullptr);
  wnd.pm().SetDPI(96);
  SetWindowPos(h, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ASSERT_EQ(WindowRect(h).right - WindowRect(h).left, 560);
  int dpi = std::stoi(wnd.pm().FindControl(L"dpi_btn")->GetUserData());
  wnd.pm().SetDPI(dpi);
  RECT rc = WindowRect(h);
  EXPECT_EQ(rc.right - rc.left, 840);
  EXPECT_EQ(rc.left, 40);
  EXPECT_EQ(rc.top, 30);
  wnd.pm().SetDPI(96);
  rc = WindowRect(h);
  EXPECT_EQ(rc.right - rc.left, 560);
  EXPECT_EQ(rc.left, 40);
}

// The edit box follows every rebuild of the window's fonts (a new default
// font, a new DPI) and keeps its one-line box centred in the field.
TEST_F(Win32Host, EditTakesEachNewFontAndStaysCentred) {
  HWND h = wnd.Create(nullptr, L"edit", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  ASSERT_NE(h, nullptr);
  auto* edit = wnd.pm().FindControlAs<CEditUI>(L"edit_name");
  ASSERT_NE(edit, nullptr);
  auto settle = [&]() {
    wnd.pm().NeedUpdate();
    UpdateWindow(h);
    wnd.pm().UpdateLayout();
  };
  auto fontOf = [&]() { return reinterpret_cast<HFONT>(SendMessageW(edit->GetNativeWindow(), WM_GETFONT, 0, 0)); };
  settle();
  ASSERT_NE(edit->GetNativeWindow(), nullptr);
  EXPECT_EQ(fontOf(), wnd.pm().GetFont(-1));
  wnd.pm().SetDefaultFont(L"", 20, false, false, false);
  settle();
  EXPECT_EQ(fontOf(), wnd.pm().GetFont(-1));
  wnd.pm().SetDPI(144);
  settle();
  EXPECT_EQ(fontOf(), wnd.pm().GetFont(-1));
  LOGFONTW lf{};
  GetObjectW(fontOf(), sizeof lf, &lf);
  EXPECT_EQ(lf.lfHeight, -30);

  RECT box{};
  GetWindowRect(edit->GetNativeWindow(), &box);
  MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&box), 2);
  const RECT field = edit->GetPos();
  EXPECT_GT(box.top, field.top);
  EXPECT_LT(box.bottom, field.bottom);
  EXPECT_LE(std::abs((box.top - field.top) - (field.bottom - box.bottom)), 1);
  wnd.pm().SetDPI(96);
}

// A label that mixes Thai with another script: each Thai run is drawn in
// a font that has its glyphs (Wine's Tahoma has none), the rest in the
// label's own font, and the runs give back the whole text.
TEST_F(Win32Host, MixedScriptTextGetsAFaceForItsThai) {
  LOGFONTW lf{};
  lf.lfHeight = -14;
  lstrcpyW(lf.lfFaceName, L"Tahoma");
  HFONT tahoma = CreateFontIndirectW(&lf);
  HDC dc = GetDC(nullptr);
  auto covers = [&](HFONT font, const std::wstring& text) {
    HGDIOBJ old = SelectObject(dc, font);
    std::vector<WORD> glyphs(text.size());
    GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, old);
    for (size_t i = 0; i < text.size(); ++i)
      if (glyphs[i] == 0xFFFF && text[i] != L' ') return false;
    return true;
  };
  for (const std::wstring text : {L"Thai (\u0e44\u0e17\u0e22)", L"\u0e0d\u0e35\u0e48\u0e1b\u0e38\u0e48\u0e19 (\u65e5\u672c\u8a9e)"}) {
    const std::vector<render::TextRun> runs = render::SplitByScript(dc, tahoma, text);
    std::wstring joined;
    for (const render::TextRun& run : runs) {
      joined += run.text;
      const bool thai = run.text[0] >= 0x0E00 && run.text[0] <= 0x0E7F;
      if (thai || run.font != tahoma) {
        EXPECT_TRUE(covers(run.font, run.text)) << "a run in a font without its glyphs";
      }
    }
    EXPECT_EQ(joined, text);
  }
  EXPECT_EQ(render::SplitByScript(dc, tahoma, L"Japanese (\u65e5\u672c\u8a9e)").size(), 1u);
  ReleaseDC(nullptr, dc);
  DeleteObject(tahoma);
}

TEST_F(Win32Host, LoadsPngVariantsFromTheArchive) {
  HWND h = wnd.Create(nullptr, L"png", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  ASSERT_NE(h, nullptr);
  wnd.pm().SetDPI(96);
  const TImageInfo* base = wnd.pm().GetImage(L"common/dot.png");
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(base->width, 8);
  EXPECT_EQ(base->height, 6);
  wnd.pm().SetDPI(144);
  const TImageInfo* big = wnd.pm().GetImage(L"common/dot.png");
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->width, 12);
  EXPECT_EQ(big->path, L"common/dot@150.png");
  EXPECT_EQ(wnd.pm().GetImage(L"common/missing.png"), nullptr);
}

TEST_F(Win32Host, PaintsEveryControlWithoutCrashing) {
  HWND h = wnd.Create(nullptr, L"paint", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  ASSERT_NE(h, nullptr);
  auto* list = wnd.pm().FindControlAs<CListUI>(L"list");
  for (int i = 0; i < 5; ++i) {
    auto* row = new CListTextExtElementUI;
    row->SetFixedHeight(24);
    list->Add(row);
    row->SetText(0, std::to_wstring(i));
    row->SetText(1, L"\u6253\u5370\u673A row");
  }
  for (int dpi : {96, 144, 120, 96}) {
    wnd.pm().SetDPI(dpi);
    InvalidateRect(h, nullptr, TRUE);
    UpdateWindow(h);
    Pump();
  }
  EXPECT_TRUE(IsWindow(h));
}

namespace {

const wchar_t kForm[] = LR"(<Window size="400,200" defaultbutton="ok" cancelbutton="cancel">
  <VerticalLayout bkcolor="#FFFFFFFF" inset="10,10,10,10">
    <HorizontalLayout height="30"><Label text="Printer name:" width="110"/><Edit name="name" text="Office"/></HorizontalLayout>
    <HorizontalLayout height="30"><Option name="card" group="g" tooltip="Install"/><CheckBox name="check" text="Default"/></HorizontalLayout>
    <HorizontalLayout height="40"><Button name="ok" text="Next" bkcolor="#FF2F6FEB"/><Button name="cancel" text="Cancel"/></HorizontalLayout>
  </VerticalLayout></Window>)";

class FormWnd : public TestWnd {
 public:
  std::vector<std::wstring> clicks;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"ToolkitFormWnd"; }
  std::wstring GetSkinFile() override { return kForm; }
  void Notify(TNotifyUI& msg) override {
    if (msg.sType == DUI_MSGTYPE_CLICK && msg.pSender) clicks.push_back(msg.pSender->GetName());
  }
};

// Posts a key to whichever window has the keyboard, as typing does.
void Press(WPARAM vk) {
  HWND target = GetFocus();
  PostMessageW(target, WM_KEYDOWN, vk, 1);
  PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
  Pump();
}

}  // namespace

TEST_F(Win32Host, KeyboardLeavesTheNativeEditBoxAndDrawsAFocusMark) {
  FormWnd form;
  HWND h = form.Create(nullptr, L"form", WS_VISIBLE | WS_POPUP, 0, 0, 0, 400, 200);
  ASSERT_NE(h, nullptr);
  SetForegroundWindow(h);
  SetFocus(h);
  Pump();
  auto* edit = form.pm().FindControlAs<CEditUI>(L"name");
  Press(VK_TAB);
  EXPECT_EQ(form.pm().GetFocus(), edit);
  EXPECT_EQ(GetFocus(), edit->GetNativeWindow());  // the caret is in the box
  Press(VK_RETURN);  // from inside the box: the default button
  Press(VK_TAB);     // out of the box again
  EXPECT_EQ(form.pm().GetFocus()->GetName(), L"card");
  EXPECT_EQ(GetFocus(), h);
  Press(VK_SPACE);
  Press(VK_TAB);
  Press(VK_TAB);
  EXPECT_EQ(form.pm().GetFocus()->GetName(), L"ok");
  // The mark shows on the blue button: its pixels differ from the same
  // window painted with the focus elsewhere.
  auto snapshot = [&] {
    InvalidateRect(h, nullptr, TRUE);
    UpdateWindow(h);
    RECT rc = form.pm().FindControl(L"ok")->GetPos();
    HDC dc = GetDC(h);
    std::vector<COLORREF> px;
    for (LONG x = rc.left; x < rc.right; ++x) px.push_back(GetPixel(dc, x, rc.top + 3));
    ReleaseDC(h, dc);
    return px;
  };
  const std::vector<COLORREF> marked = snapshot();
  form.pm().SetFocus(form.pm().FindControl(L"cancel"));
  EXPECT_NE(marked, snapshot());
  Press(VK_ESCAPE);
  EXPECT_EQ(form.clicks, (std::vector<std::wstring>{L"ok", L"card", L"cancel"}));
  DestroyWindow(h);
}

TEST_F(Win32Host, ScreenReadersListTheControlsWithNamesRolesAndStates) {
  FormWnd form;
  HWND h = form.Create(nullptr, L"form", WS_VISIBLE | WS_POPUP, 0, 0, 0, 400, 200);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  IAccessible* acc = nullptr;
  // The id spelled out: mingw's oleacc import library lists IID_IAccessible
  // among its functions, and linking that gives the bytes of a jump.
  const IID iidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  ASSERT_EQ(AccessibleObjectFromWindow(h, static_cast<DWORD>(OBJID_CLIENT), iidAccessible,
                                       reinterpret_cast<void**>(&acc)),
            S_OK);
  ASSERT_NE(acc, nullptr);
  LONG count = 0;
  ASSERT_EQ(acc->get_accChildCount(&count), S_OK);
  std::vector<std::wstring> seen;
  for (LONG i = 1; i <= count; ++i) {
    VARIANT id;
    VariantInit(&id);
    id.vt = VT_I4;
    id.lVal = i;
    BSTR name = nullptr;
    acc->get_accName(id, &name);
    VARIANT role, state;
    VariantInit(&role);
    VariantInit(&state);
    acc->get_accRole(id, &role);
    acc->get_accState(id, &state);
    seen.push_back(std::to_wstring(role.lVal) + L" " + (name ? name : L"") +
                   ((state.lVal & STATE_SYSTEM_CHECKED) ? L" checked" : L""));
    SysFreeString(name);
  }
  // Static text, text, radio button, check button, push buttons.
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"41 Printer name:", L"42 Printer name:", L"45 Install", L"44 Default",
                                             L"43 Next", L"43 Cancel"}));
  VARIANT cancel;
  VariantInit(&cancel);
  cancel.vt = VT_I4;
  cancel.lVal = count;
  EXPECT_EQ(acc->accDoDefaultAction(cancel), S_OK);
  EXPECT_EQ(form.clicks, std::vector<std::wstring>{L"cancel"});
  acc->Release();
  // The native box's own object, which a screen reader reaches when the
  // caret is in it, is named by the label too and still reads as text.
  form.pm().UpdateLayout();
  HWND native = form.pm().FindControlAs<CEditUI>(L"name")->GetNativeWindow();
  ASSERT_NE(native, nullptr);
  IAccessible* box = nullptr;
  ASSERT_EQ(AccessibleObjectFromWindow(native, static_cast<DWORD>(OBJID_CLIENT), iidAccessible,
                                       reinterpret_cast<void**>(&box)),
            S_OK);
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR boxName = nullptr;
  VARIANT boxRole;
  VariantInit(&boxRole);
  EXPECT_EQ(box->get_accName(self, &boxName), S_OK);
  EXPECT_STREQ(boxName ? boxName : L"", L"Printer name:");
  box->get_accRole(self, &boxRole);
  EXPECT_EQ(boxRole.lVal, ROLE_SYSTEM_TEXT);
  SysFreeString(boxName);
  box->Release();
  CoUninitialize();
  DestroyWindow(h);
}

// A nine-grid image stretched over a button: every row keeps the image's
// colour (a stretch that samples beyond a part fades the part's first
// row into a light line across every blue button).
TEST_F(Win32Host, NineGridEdgesKeepTheImageColour) {
  FormWnd form;
  HWND h = form.Create(nullptr, L"grid", WS_VISIBLE | WS_POPUP, 0, 0, 0, 400, 200);
  ASSERT_NE(h, nullptr);
  CControlUI* ok = form.pm().FindControl(L"ok");
  ok->SetBkColor(0);
  static_cast<CButtonUI*>(ok)->SetAttribute(L"normalimage", L"file='common/blue.png' corner='5,5,5,5'");
  for (int dpi : {96, 144}) {
   for (int height : {28, 30, 32, 33, 36}) {
    form.pm().SetDPI(dpi);
    ok->SetFixedHeight(height);
    form.pm().NeedUpdate();
    form.pm().UpdateLayout();
    InvalidateRect(h, nullptr, TRUE);
    UpdateWindow(h);
    const RECT rc = ok->GetPos();
    HDC dc = GetDC(h);
    for (LONG y = rc.top; y < rc.bottom; ++y) {
      const COLORREF c = GetPixel(dc, (rc.left + rc.right) / 2, y);
      EXPECT_LE(GetRValue(c), 0x40) << "row " << y - rc.top << " of " << height << " at " << dpi << " dpi";
    }
    ReleaseDC(h, dc);
   }
  }
  DestroyWindow(h);
}

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

namespace {

// Notes, as its window goes, whether its owner has the input back.
class ModalProbe : public TestWnd {
 public:
  HWND owner = nullptr;
  bool ownerEnabled = false;
  HWND active = nullptr;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"ToolkitModalProbe"; }
  LRESULT OnDestroy(UINT msg, WPARAM w, LPARAM l, BOOL& handled) override {
    ownerEnabled = IsWindowEnabled(owner) != FALSE;
    active = GetActiveWindow();
    return TestWnd::OnDestroy(msg, w, l, handled);
  }
};

}  // namespace

// Alt+F4 reaches a skinned dialog as WM_SYSCOMMAND and a sent WM_CLOSE:
// the owner must be enabled and active before the dialog is destroyed,
// or Windows hands the activation to another program.
TEST_F(Win32Host, AltF4OnAModalDialogActivatesTheOwnerBeforeTheDialogGoes) {
  HWND owner = wnd.Create(nullptr, L"owner", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 560, 400);
  ASSERT_NE(owner, nullptr);
  SetForegroundWindow(owner);
  ModalProbe dialog;
  dialog.owner = owner;
  HWND hd = dialog.Create(owner, L"dialog", WS_POPUP | WS_VISIBLE | WS_SYSMENU, 0, 0, 0, 300, 200);
  ASSERT_NE(hd, nullptr);
  PostMessageW(hd, WM_SYSCOMMAND, SC_CLOSE, 0);
  dialog.ShowModal();
  EXPECT_FALSE(IsWindow(hd));
  EXPECT_TRUE(dialog.ownerEnabled);
  EXPECT_EQ(dialog.active, owner);
  EXPECT_EQ(GetActiveWindow(), owner);
}
