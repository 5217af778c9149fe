// Every text of the main window fits its control, measured by Windows' own
// text measurement: every page of both wizards in every language at 100,
// 125 and 150 %. A label's text lies inside its text rectangle; a button
// keeps a margin around its text, so no mark touches its edge. Run under
// Wine once per prefix language (wine-run.sh picks the face for LANG), with
// the language's code ("ja") as argument, or with none for all.
#include "app.h"
#include "dialogs.h"
#include "engine/setup_engine.h"
#include "localization.h"
#include "main_wnd.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::wstring g_only;  // from the command line; empty for every language

bool OpenOwnArchive() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  CPaintManagerUI::SetInstance(instance);
  HRSRC res = FindResourceW(instance, MAKEINTRESOURCEW(129), L"ZIPRES");
  if (!res) return false;
  HGLOBAL loaded = LoadResource(instance, res);
  if (!loaded) return false;
  SetUpResources(L"C:\\", LockResource(loaded), SizeofResource(instance, res));
  return CResourceManager::GetInstance().IsZipOpen();
}

// The window without a running wizard: pages are only shown.
class FitWnd : public CMainWnd {
 public:
  explicit FitWnd(SetupEngine& engine) : CMainWnd(engine) {}
  CPaintManagerUI& Manager() { return m_pm; }
};

// Where a text leaves ink when drawn as the control draws it (same font and
// flags, not clipped) into a rectangle of the given size: the ink's bounds
// relative to that rectangle, or an empty rectangle for no ink.
RECT InkBounds(HFONT font, const std::wstring& text, UINT style, LONG width, LONG height) {
  const LONG border = 200;  // room for ink beyond the rectangle
  const LONG cx = width + 2 * border, cy = height + 2 * border;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = cx;
  info.bmiHeader.biHeight = -cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  DWORD* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
  HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
  for (LONG i = 0; i < cx * cy; ++i) bits[i] = 0x00FFFFFF;
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  RECT rc{border, border, border + width, border + height};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, (style & 0x3F) | DT_NOPREFIX | DT_NOCLIP);
  GdiFlush();
  RECT ink{cx, cy, -1, -1};
  for (LONG y = 0; y < cy; ++y) {
    for (LONG x = 0; x < cx; ++x) {
      if ((bits[y * cx + x] & 0xFF) > 0xC0) continue;  // faint edge pixels do not count
      ink.left = std::min(ink.left, x);
      ink.top = std::min(ink.top, y);
      ink.right = std::max(ink.right, x + 1);
      ink.bottom = std::max(ink.bottom, y + 1);
    }
  }
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  if (ink.right < 0) return RECT{0, 0, 0, 0};
  return RECT{ink.left - border, ink.top - border, ink.right - border, ink.bottom - border};
}

class TextFitTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(OpenOwnArchive()); }
  void SetUp() override {
    FillLanguageTable(engine);
    wnd = new FitWnd(engine);
    hwnd = wnd->Create(nullptr, L"fit", WS_VISIBLE | WS_POPUP, 0, 0, 0, 560, 400);
    ASSERT_NE(hwnd, nullptr);
  }
  void TearDown() override {
    DestroyWindow(hwnd);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    delete wnd;
  }

  // Checks every visible text control under a control.
  void CheckTree(CPaintManagerUI& pm, CControlUI* control, const std::string& where) {
    if (!control || !control->IsVisible()) return;
    if (auto* container = dynamic_cast<IContainerUI*>(control)) {
      for (int i = 0; i < container->GetCount(); ++i) CheckTree(pm, container->GetItemAt(i), where);
      return;
    }
    auto* label = dynamic_cast<CLabelUI*>(control);
    // Edits draw through their native box; their texts are the user's.
    if (!label || dynamic_cast<CEditUI*>(control) || label->GetText().empty()) return;
    // Texts that end in an ellipsis show data (names) that may be long.
    const UINT style = label->GetTextStyle();
    if (style & DT_END_ELLIPSIS_UI) return;
    RECT rc = label->GetPos();
    const RECT pad = label->GetTextPadding();
    rc.left += pm.ScaleValue(pad.left);
    rc.right -= pm.ScaleValue(pad.right);
    rc.top += pm.ScaleValue(pad.top);
    rc.bottom -= pm.ScaleValue(pad.bottom);
    const bool button = dynamic_cast<CButtonUI*>(control) && !dynamic_cast<COptionUI*>(control);
    // A button's face needs air between its text and its edge (its text
    // padding counts); a label's text may lean only a pixel out of its text
    // rectangle (the overhang of a Thai leading vowel).
    const RECT ink = InkBounds(pm.GetFont(label->GetFont()), label->GetText(), style, rc.right - rc.left,
                               rc.bottom - rc.top);
    RECT room{-pm.ScaleValue(1), -pm.ScaleValue(1), rc.right - rc.left + pm.ScaleValue(1),
              rc.bottom - rc.top + pm.ScaleValue(1)};
    if (button) {
      const RECT item = label->GetPos();
      room = RECT{item.left - rc.left + pm.ScaleValue(6), item.top - rc.top + pm.ScaleValue(2),
                  item.right - rc.left - pm.ScaleValue(6), item.bottom - rc.top - pm.ScaleValue(2)};
    }
    EXPECT_TRUE(ink.left >= room.left && ink.right <= room.right && ink.top >= room.top && ink.bottom <= room.bottom)
        << where << " " << toolkit::WideToUtf8(control->GetName()) << " \"" << toolkit::WideToUtf8(label->GetText())
        << "\": ink " << ink.left << "," << ink.top << "-" << ink.right << "," << ink.bottom << " outside "
        << room.left << "," << room.top << "-" << room.right << "," << room.bottom;
  }

  // Both footer rows with every button, and Next under both its names.
  void CheckPage(const std::string& where) {
    for (const wchar_t* name : {L"hor_btn_h1", L"hor_btn_h2", L"btn_setup_previous", L"btn_setup_preferences",
                                L"btn_setup_properties", L"btn_setup_testpage"})
      wnd->Manager().FindControl(name)->SetVisible(true);
    CControlUI* next = wnd->Manager().FindControl(L"btn_setup_next");
    for (const wchar_t* key : {L"main.btn.startDelete", L"main.btn.next"}) {
      next->SetText(key);
      wnd->Manager().UpdateLayout();
      CheckTree(wnd->Manager(), wnd->Manager().GetRoot(), where);
    }
  }

  SetupEngine engine;
  FitWnd* wnd = nullptr;
  HWND hwnd = nullptr;
};

TEST_F(TextFitTest, EveryPageInEveryLanguageAndScale) {
  int checked = 0;
  for (const auto& entry : engine.languages) {
    if (!g_only.empty() && entry.second.code != g_only) continue;
    ++checked;
    SwitchLanguage(engine, entry.first, nullptr, hwnd);
    for (int dpi : {96, 120, 144}) {
      wnd->Manager().SetDPI(dpi);
      const std::string at = toolkit::WideToUtf8(entry.second.code) + " " + std::to_string(dpi * 100 / 96) + "%";
      engine.tabSwitch->SelectItem(0);
      CheckPage(at + " start");
      engine.tabSwitch->SelectItem(1);
      for (int page = 0; page < engine.tabSwitchInstall->GetCount(); ++page) {
        engine.tabSwitchInstall->SelectItem(page);
        CheckPage(at + " install " + std::to_string(page));
      }
      engine.tabSwitch->SelectItem(2);
      for (int page = 0; page < engine.tabSwitchDelete->GetCount(); ++page) {
        engine.tabSwitchDelete->SelectItem(page);
        CheckPage(at + " removal " + std::to_string(page));
      }
    }
    wnd->Manager().SetDPI(96);
  }
  EXPECT_GT(checked, 0) << "no language " << toolkit::WideToUtf8(g_only) << " in the table";
}

// The language dialog lists every language in its own script besides the
// current one.
class LanguageDialog : public CPopLanguage {
 public:
  using CPopLanguage::CPopLanguage;
  CPaintManagerUI& Manager() { return m_pm; }
};

TEST_F(TextFitTest, LanguageDialogInEveryLanguage) {
  for (const auto& entry : engine.languages) {
    if (!g_only.empty() && entry.second.code != g_only) continue;
    SwitchLanguage(engine, entry.first, nullptr, hwnd);
    auto* dialog = new LanguageDialog(engine);
    HWND h = dialog->Create(hwnd, L"", kPopupDialogStyle, 0, 0, 0, 0, 0);
    ASSERT_NE(h, nullptr);
    dialog->Manager().UpdateLayout();
    CheckTree(dialog->Manager(), dialog->Manager().GetRoot(), toolkit::WideToUtf8(entry.second.code) + " language dialog");
    DestroyWindow(h);  // the dialog deletes itself
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc > 1) g_only = argv[1];
  return RUN_ALL_TESTS();
}
