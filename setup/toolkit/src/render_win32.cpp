// Drawing with GDI and GDI+, image decoding with GDI+ and timers for the
// Win32 host.
#include "delay_import_slots.h"
#include "render_win32.h"
#include "toolkit/controls.h"
#include "toolkit/shapes.h"

#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <cwctype>
#include <map>

namespace {

ULONG_PTR g_gdiplusToken = 0;

// The decoded bitmap keeps reading its stream (GIF frames), so both live
// together.
struct NativeImage {
  Gdiplus::Bitmap* bitmap = nullptr;
  IStream* stream = nullptr;
};

Gdiplus::Color ToColor(DWORD argb) { return Gdiplus::Color(static_cast<Gdiplus::ARGB>(argb)); }

}  // namespace

namespace render {

void EnsureGdiplus() {
  if (g_gdiplusToken) return;
  InstallDelayLoadHook();
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr);
}

void ShutdownHost() {
  if (!g_gdiplusToken) return;
  Gdiplus::GdiplusShutdown(g_gdiplusToken);
  g_gdiplusToken = 0;
}

bool DecodeImage(const std::vector<uint8_t>& bytes, TImageInfo& info) {
  EnsureGdiplus();
  if (bytes.empty()) return false;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!mem) return false;
  void* p = GlobalLock(mem);
  std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(p));
  GlobalUnlock(mem);
  IStream* stream = nullptr;
  if (CreateStreamOnHGlobal(mem, TRUE, &stream) != S_OK) {
    GlobalFree(mem);
    return false;
  }
  Gdiplus::Bitmap* bmp = Gdiplus::Bitmap::FromStream(stream);
  if (!bmp || bmp->GetLastStatus() != Gdiplus::Ok) {
    delete bmp;
    stream->Release();
    return false;
  }
  info.width = static_cast<int>(bmp->GetWidth());
  info.height = static_cast<int>(bmp->GetHeight());
  info.frames = 1;
  UINT dims = bmp->GetFrameDimensionsCount();
  if (dims > 0) {
    GUID dim;
    bmp->GetFrameDimensionsList(&dim, 1);
    info.frames = std::max<int>(1, static_cast<int>(bmp->GetFrameCount(&dim)));
  }
  info.frameDelays.assign(static_cast<size_t>(info.frames), 100);
  UINT size = bmp->GetPropertyItemSize(PropertyTagFrameDelay);
  if (size > 0 && info.frames > 1) {
    std::vector<uint8_t> buf(size);
    auto* item = reinterpret_cast<Gdiplus::PropertyItem*>(buf.data());
    if (bmp->GetPropertyItem(PropertyTagFrameDelay, size, item) == Gdiplus::Ok) {
      const UINT* delays = static_cast<const UINT*>(item->value);
      size_t n = std::min<size_t>(item->length / sizeof(UINT), static_cast<size_t>(info.frames));
      for (size_t i = 0; i < n; ++i) info.frameDelays[i] = std::max<UINT>(20, delays[i] * 10);
    }
  }
  info.native = new NativeImage{bmp, stream};
  return true;
}

void FreeImage(TImageInfo& info) {
  auto* native = static_cast<NativeImage*>(info.native);
  if (!native) return;
  delete native->bitmap;
  if (native->stream) native->stream->Release();
  delete native;
  info.native = nullptr;
}

void SelectFrame(TImageInfo& info, int frame) {
  auto* native = static_cast<NativeImage*>(info.native);
  if (!native || info.frames <= 1) return;
  native->bitmap->SelectActiveFrame(&Gdiplus::FrameDimensionTime, static_cast<UINT>(frame % info.frames));
}

void DrawColor(HDC hDC, const RECT& rc, DWORD argb) {
  if (rc.right <= rc.left || rc.bottom <= rc.top) return;
  if ((argb >> 24) == 0xFF) {
    HBRUSH brush = CreateSolidBrush(RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
    FillRect(hDC, &rc, brush);
    DeleteObject(brush);
    return;
  }
  Gdiplus::Graphics g(hDC);
  Gdiplus::SolidBrush brush(ToColor(argb));
  g.FillRectangle(&brush, static_cast<INT>(rc.left), static_cast<INT>(rc.top), static_cast<INT>(rc.right - rc.left),
                  static_cast<INT>(rc.bottom - rc.top));
}

void DrawBorder(HDC hDC, const RECT& rc, int size, DWORD argb, SIZE round) {
  if (size <= 0) return;
  Gdiplus::Graphics g(hDC);
  Gdiplus::Pen pen(ToColor(argb), static_cast<Gdiplus::REAL>(size));
  pen.SetAlignment(Gdiplus::PenAlignmentInset);
  Gdiplus::REAL x = static_cast<Gdiplus::REAL>(rc.left), y = static_cast<Gdiplus::REAL>(rc.top);
  Gdiplus::REAL w = static_cast<Gdiplus::REAL>(rc.right - rc.left - 1), h = static_cast<Gdiplus::REAL>(rc.bottom - rc.top - 1);
  if (round.cx > 0 && round.cy > 0) {
    g.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    Gdiplus::GraphicsPath path;
    Gdiplus::REAL rx = static_cast<Gdiplus::REAL>(round.cx), ry = static_cast<Gdiplus::REAL>(round.cy);
    path.AddArc(x, y, rx, ry, 180, 90);
    path.AddArc(x + w - rx, y, rx, ry, 270, 90);
    path.AddArc(x + w - rx, y + h - ry, rx, ry, 0, 90);
    path.AddArc(x, y + h - ry, rx, ry, 90, 90);
    path.CloseFigure();
    g.DrawPath(&pen, &path);
  } else {
    g.DrawRectangle(&pen, x, y, w, h);
  }
}

// Draws source into dest; with corners, the nine-grid keeps the corners
// unstretched.
void DrawImage(HDC hDC, const TImageInfo& image, const RECT& dest, const RECT& source, const RECT& corner, int fade) {
  auto* native = static_cast<NativeImage*>(image.native);
  if (!native || dest.right <= dest.left || dest.bottom <= dest.top) return;
  Gdiplus::Graphics g(hDC);
  g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
  g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  Gdiplus::ImageAttributes attrs;
  Gdiplus::ImageAttributes* pAttrs = nullptr;
  if (fade < 255) {
    Gdiplus::ColorMatrix m = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, fade / 255.0f, 0}, {0, 0, 0, 0, 1}}};
    attrs.SetColorMatrix(&m);
    pAttrs = &attrs;
  }
  auto part = [&](LONG dl, LONG dt, LONG dr, LONG db, LONG sl, LONG st, LONG sr, LONG sb) {
    if (dr <= dl || db <= dt || sr <= sl || sb <= st) return;
    Gdiplus::Rect d(dl, dt, dr - dl, db - dt);
    g.DrawImage(native->bitmap, d, sl, st, sr - sl, sb - st, Gdiplus::UnitPixel, pAttrs);
  };
  if (corner.left == 0 && corner.top == 0 && corner.right == 0 && corner.bottom == 0) {
    part(dest.left, dest.top, dest.right, dest.bottom, source.left, source.top, source.right, source.bottom);
    return;
  }
  LONG dx[4] = {dest.left, dest.left + corner.left, dest.right - corner.right, dest.right};
  LONG dy[4] = {dest.top, dest.top + corner.top, dest.bottom - corner.bottom, dest.bottom};
  LONG sx[4] = {source.left, source.left + corner.left, source.right - corner.right, source.right};
  LONG sy[4] = {source.top, source.top + corner.top, source.bottom - corner.bottom, source.bottom};
  // A stretched part may come out a row or column short at its start (a
  // light line across every button under Wine's GDI+). So each part is
  // stretched one pixel further into its stretched neighbours, the centre
  // first, the edges next and the unstretched corners last, each laid
  // over the overlap of the parts drawn before it.
  const int order[9][2] = {{1, 1}, {0, 1}, {2, 1}, {1, 0}, {1, 2}, {0, 0}, {0, 2}, {2, 0}, {2, 2}};
  for (const auto& rc : order) {
    const int r = rc[0], c = rc[1];
    const LONG growX = c == 1 ? 1 : 0, growY = r == 1 ? 1 : 0;
    const LONG left = dx[c] - (c > 0 ? growX : 0), right = dx[c + 1] + (c < 2 ? growX : 0);
    const LONG top = dy[r] - (r > 0 ? growY : 0), bottom = dy[r + 1] + (r < 2 ? growY : 0);
    part(left, top, right, bottom, sx[c], sy[r], sx[c + 1], sy[r + 1]);
  }
}

static UINT GdiTextFormat(UINT style) {
  UINT f = DT_NOPREFIX;
  if (style & DT_CENTER_UI) f |= DT_CENTER;
  if (style & DT_RIGHT_UI) f |= DT_RIGHT;
  if (style & DT_VCENTER_UI) f |= DT_VCENTER;
  if (style & DT_BOTTOM_UI) f |= DT_BOTTOM;
  if (style & DT_WORDBREAK_UI) f |= DT_WORDBREAK;
  if (style & DT_SINGLELINE_UI) f |= DT_SINGLELINE;
  if (style & DT_END_ELLIPSIS_UI) f |= DT_END_ELLIPSIS;
  return f;
}

namespace {

bool IsThai(wchar_t c) { return c >= 0x0E00 && c <= 0x0E7F; }

// Whether the font selected into dc has a glyph for every character but
// blanks.
bool Covers(HDC dc, const std::wstring& text) {
  std::vector<WORD> glyphs(text.size());
  if (GetGlyphIndicesW(dc, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                       GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
    return true;
  for (size_t i = 0; i < text.size(); ++i) {
    if (glyphs[i] == 0xFFFF && !iswspace(text[i])) return false;
  }
  return true;
}

// A font like the given one in a face that draws Thai; made once per
// size and weight and kept for the process's life.
HFONT ThaiFontLike(HDC dc, HFONT font, const std::wstring& sample) {
  static std::map<std::wstring, HFONT> made;
  LOGFONTW lf{};
  if (!GetObjectW(font, sizeof lf, &lf)) return nullptr;
  const std::wstring key = std::to_wstring(lf.lfHeight) + L"/" + std::to_wstring(lf.lfWeight) + L"/" +
                           std::to_wstring(lf.lfItalic) + std::to_wstring(lf.lfUnderline);
  auto it = made.find(key);
  if (it != made.end()) return it->second;
  HFONT found = nullptr;
  // Windows' Thai faces first, then those of Linux systems under Wine.
  for (const wchar_t* face : {L"Leelawadee UI", L"Leelawadee", L"Tahoma", L"Tahoma Thai", L"Loma", L"Garuda",
                              L"Noto Sans Thai", L"Norasi"}) {
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    HFONT candidate = CreateFontIndirectW(&lf);
    if (!candidate) continue;
    HGDIOBJ old = SelectObject(dc, candidate);
    wchar_t chosen[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, chosen);
    const bool fits = lstrcmpiW(chosen, face) == 0 && Covers(dc, sample);
    SelectObject(dc, old);
    if (fits) {
      found = candidate;
      break;
    }
    DeleteObject(candidate);
  }
  made[key] = found;
  return found;
}

// A font like the given one in the first installed face that has every
// character of the text: a text in another script than the interface's
// (Japanese after a switch from English) would otherwise show boxes, as
// neither the rich edit nor the edit box follows the system's font links.
// Fonts are made once per face and size and kept for the process's life.
HFONT FontCovering(HDC dc, HFONT font, const std::wstring& text) {
  static std::map<std::wstring, HFONT> made;
  LOGFONTW lf{};
  if (!GetObjectW(font, sizeof lf, &lf)) return nullptr;
  // Windows' faces by script first, then those of Linux systems under Wine.
  for (const wchar_t* face :
       {L"Microsoft YaHei UI", L"Microsoft YaHei", L"Yu Gothic UI", L"Meiryo UI", L"Meiryo", L"MS UI Gothic",
        L"Malgun Gothic", L"Microsoft JhengHei UI", L"SimSun", L"Leelawadee UI", L"Leelawadee", L"Tahoma",
        L"WenQuanYi Micro Hei Thai", L"WenQuanYi Micro Hei", L"Tahoma Thai", L"Noto Sans CJK JP", L"Droid Sans Fallback",
        L"Loma", L"Garuda"}) {
    const std::wstring key = std::wstring(face) + L"/" + std::to_wstring(lf.lfHeight) + L"/" +
                             std::to_wstring(lf.lfWeight) + L"/" + std::to_wstring(lf.lfItalic) +
                             std::to_wstring(lf.lfUnderline);
    auto it = made.find(key);
    if (it == made.end()) {
      LOGFONTW like = lf;
      lstrcpynW(like.lfFaceName, face, LF_FACESIZE);
      HFONT candidate = CreateFontIndirectW(&like);
      if (candidate) {
        HGDIOBJ old = SelectObject(dc, candidate);
        wchar_t chosen[LF_FACESIZE] = {};
        GetTextFaceW(dc, LF_FACESIZE, chosen);
        SelectObject(dc, old);
        if (lstrcmpiW(chosen, face) != 0) {  // not installed: a stand-in answered
          DeleteObject(candidate);
          candidate = nullptr;
        }
      }
      it = made.emplace(key, candidate).first;
    }
    if (!it->second) continue;
    HGDIOBJ old = SelectObject(dc, it->second);
    const bool fits = Covers(dc, text);
    SelectObject(dc, old);
    if (fits) return it->second;
  }
  return nullptr;
}

}  // namespace

HFONT FontFor(HDC dc, HFONT font, const std::wstring& text) {
  HGDIOBJ old = SelectObject(dc, font);
  const bool covered = Covers(dc, text);
  SelectObject(dc, old);
  if (covered) return font;
  HFONT other = FontCovering(dc, font, text);
  return other ? other : font;
}

std::vector<TextRun> SplitByScript(HDC dc, HFONT font, const std::wstring& text) {
  std::vector<TextRun> runs;
  const bool thai = std::any_of(text.begin(), text.end(), IsThai);
  HGDIOBJ old = SelectObject(dc, font);
  const bool whole = Covers(dc, text);
  SelectObject(dc, old);
  if (whole) return {{text, font}};
  if (HFONT other = FontCovering(dc, font, text)) return {{text, other}};
  if (!thai) return {{text, font}};
  // Blanks and punctuation stay with the run before them.
  for (wchar_t c : text) {
    const bool isThai = IsThai(c);
    if (runs.empty() || (isThai != IsThai(runs.back().text[0]) && (isThai || iswalnum(c) || c > 0x7F)))
      runs.push_back({std::wstring(), font});
    runs.back().text += c;
  }
  for (TextRun& run : runs) {
    if (!IsThai(run.text[0])) continue;
    old = SelectObject(dc, font);
    const bool drawable = Covers(dc, run.text);
    SelectObject(dc, old);
    if (!drawable) {
      if (HFONT thaiFont = ThaiFontLike(dc, font, run.text)) run.font = thaiFont;
    }
  }
  return runs;
}

// Width of the runs side by side, height of the tallest; ascent of the
// tallest too, for a common baseline.
static SIZE MeasureRuns(HDC dc, const std::vector<TextRun>& runs, LONG* ascent) {
  SIZE total{0, 0};
  LONG top = 0;
  for (const TextRun& run : runs) {
    HGDIOBJ old = SelectObject(dc, run.font);
    SIZE size{};
    GetTextExtentPoint32W(dc, run.text.c_str(), static_cast<int>(run.text.size()), &size);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    SelectObject(dc, old);
    total.cx += size.cx;
    total.cy = std::max(total.cy, tm.tmHeight);
    top = std::max(top, tm.tmAscent);
  }
  if (ascent) *ascent = top;
  return total;
}

void DrawText(HDC hDC, CPaintManagerUI* pm, RECT rc, const std::wstring& text, DWORD argb, int font, UINT style) {
  if (text.empty() || rc.right <= rc.left) return;
  HFONT hFont = pm->GetFont(font);
  HGDIOBJ old = SelectObject(hDC, hFont);
  SetBkMode(hDC, TRANSPARENT);
  SetTextColor(hDC, RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF));
  // Wrapped text is drawn in one face, one that has all of it if need be.
  const std::vector<TextRun> runs = (style & DT_WORDBREAK_UI) ? std::vector<TextRun>{{text, FontFor(hDC, hFont, text)}}
                                                              : SplitByScript(hDC, hFont, text);
  if (runs.size() == 1) {
    SelectObject(hDC, runs[0].font);
    ::DrawTextW(hDC, text.c_str(), static_cast<int>(text.size()), &rc, GdiTextFormat(style));
  } else {
    LONG ascent = 0;
    const SIZE size = MeasureRuns(hDC, runs, &ascent);
    LONG x = rc.left;
    if (style & DT_CENTER_UI) x = rc.left + (rc.right - rc.left - size.cx) / 2;
    if (style & DT_RIGHT_UI) x = rc.right - size.cx;
    LONG top = rc.top;
    if (style & DT_VCENTER_UI) top = rc.top + (rc.bottom - rc.top - size.cy) / 2;
    if (style & DT_BOTTOM_UI) top = rc.bottom - size.cy;
    SaveDC(hDC);
    IntersectClipRect(hDC, rc.left, rc.top, rc.right, rc.bottom);
    for (const TextRun& run : runs) {
      SelectObject(hDC, run.font);
      TEXTMETRICW tm{};
      GetTextMetricsW(hDC, &tm);
      SIZE part{};
      GetTextExtentPoint32W(hDC, run.text.c_str(), static_cast<int>(run.text.size()), &part);
      TextOutW(hDC, x, top + ascent - tm.tmAscent, run.text.c_str(), static_cast<int>(run.text.size()));
      x += part.cx;
    }
    RestoreDC(hDC, -1);
  }
  SelectObject(hDC, old);
}

SIZE MeasureText(CPaintManagerUI* pm, const std::wstring& text, int font) {
  HDC dc = GetDC(nullptr);
  HFONT hFont = pm->GetFont(font);
  const std::vector<TextRun> runs = SplitByScript(dc, hFont, text);
  SIZE size{};
  if (runs.size() == 1) {
    HGDIOBJ old = SelectObject(dc, runs[0].font);
    RECT rc{0, 0, 9999, 9999};
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    size = SIZE{rc.right - rc.left, rc.bottom - rc.top};
  } else {
    size = MeasureRuns(dc, runs, nullptr);
  }
  ReleaseDC(nullptr, dc);
  // The measure is of advance widths; the ink of a last glyph or of a
  // shaped Thai cluster can reach a pixel or two further, which a control
  // sized to the text would cut.
  if (size.cx > 0) size.cx += 2;
  return size;
}

void DrawPalette(HDC hDC, const RECT& rc) {
  const LONG step = 3;
  for (LONG y = rc.top; y < rc.bottom; y += step) {
    for (LONG x = rc.left; x < rc.right; x += step) {
      DWORD c = PaletteColorAt(rc, POINT{x, y});
      RECT cell{x, y, std::min(x + step, rc.right), std::min(y + step, rc.bottom)};
      HBRUSH brush = CreateSolidBrush(RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
      FillRect(hDC, &cell, brush);
      DeleteObject(brush);
    }
  }
}

void PushClip(HDC hDC, const RECT& rc) {
  SaveDC(hDC);
  IntersectClipRect(hDC, rc.left, rc.top, rc.right, rc.bottom);
}

void PopClip(HDC hDC) { RestoreDC(hDC, -1); }

// Starts from the system's GUI font and applies what the markup sets.
HFONT CreateFontFor(const TFontInfo& info, int scalePercent) {
  LOGFONTW lf{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  if (!info.face.empty()) lstrcpynW(lf.lfFaceName, info.face.c_str(), LF_FACESIZE);
  lf.lfHeight = -MulDiv(info.size, scalePercent, 100);
  lf.lfWidth = 0;
  lf.lfWeight = info.bold ? FW_BOLD : FW_NORMAL;
  lf.lfUnderline = info.underline ? TRUE : FALSE;
  lf.lfItalic = info.italic ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  return CreateFontIndirectW(&lf);
}

HFONT FontFor(CPaintManagerUI* pm, int font, const std::wstring& text) {
  HDC dc = GetDC(nullptr);
  HFONT chosen = FontFor(dc, pm->GetFont(font), text);
  ReleaseDC(nullptr, dc);
  return chosen;
}

std::wstring FaceFor(CPaintManagerUI* pm, int font, const std::wstring& text) {
  HFONT base = pm->GetFont(font);
  HFONT chosen = FontFor(pm, font, text);
  if (chosen == base) return pm->GetFontFace(font);
  LOGFONTW lf{};
  GetObjectW(chosen, sizeof lf, &lf);
  return lf.lfFaceName;
}

std::wstring FaceOf(const TFontInfo& info) {
  if (!info.face.empty()) return info.face;
  LOGFONTW lf{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  return lf.lfFaceName;
}

void DeleteFontHandle(HFONT font) {
  if (font) DeleteObject(font);
}

bool StartTimer(HWND hWnd, UINT_PTR nativeId, UINT elapseMs) {
  return hWnd && ::SetTimer(hWnd, nativeId, elapseMs, nullptr) != 0;
}

void StopTimer(HWND hWnd, UINT_PTR nativeId) {
  if (hWnd) ::KillTimer(hWnd, nativeId);
}

// Double-buffered: the controls paint into a bitmap that is then copied.
// A dotted ring inverted against what is below, so that it shows on the
// white page and on the blue buttons alike; thicker at larger scales.
void DrawFocusMark(HDC hDC, const RECT& rc, int scalePercent) {
  const int inset = std::max(2, 2 * scalePercent / 100);
  const int rings = scalePercent >= 150 ? 2 : 1;
  for (int i = 0; i < rings; ++i) {
    RECT r{rc.left + inset + i, rc.top + inset + i, rc.right - inset - i, rc.bottom - inset - i};
    if (r.right - r.left < 4 || r.bottom - r.top < 4) return;
    SetTextColor(hDC, RGB(0, 0, 0));
    SetBkColor(hDC, RGB(255, 255, 255));
    ::DrawFocusRect(hDC, &r);
  }
}

bool PaintWindow(HWND hWnd, CControlUI* root) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hWnd, &ps);
  RECT client;
  GetClientRect(hWnd, &client);
  int w = client.right - client.left, h = client.bottom - client.top;
  if (root && w > 0 && h > 0) {
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ oldBmp = SelectObject(mem, bmp);
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    FillRect(mem, &ps.rcPaint, white);
    root->DoPaint(mem, ps.rcPaint);
    // Over everything, so that no child of the focused control hides it.
    CPaintManagerUI* pm = root->GetManager();
    CControlUI* focus = pm ? pm->GetFocus() : nullptr;
    if (focus && pm->ShowsFocusMarks() && focus->IsVisible()) DrawFocusMark(mem, focus->GetPos(), pm->GetScale());
    BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top,
           mem, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
    SelectObject(mem, oldBmp);
    DeleteObject(bmp);
    DeleteDC(mem);
  }
  EndPaint(hWnd, &ps);
  return true;
}

POINT ScreenToClientPoint(HWND hWnd, POINT pt) {
  ::ScreenToClient(hWnd, &pt);
  return pt;
}

void CaptureMouse(HWND hWnd, bool capture) {
  if (capture && hWnd) SetCapture(hWnd);
  else if (!capture && GetCapture() == hWnd) ReleaseCapture();
}

void TrackMouseLeave(HWND hWnd) {
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = hWnd;
  TrackMouseEvent(&track);
}

}  // namespace render

namespace {

// GDI+ takes a rectangle as origin and size.
Gdiplus::Rect ToGdiRect(const RECT& rc) { return Gdiplus::Rect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top); }

}  // namespace

namespace toolkit {

void FillPie(HDC hDC, const RECT& rc, int startDegrees, int sweepDegrees, DWORD argb, bool smooth) {
  Gdiplus::Graphics graphics(hDC);
  if (smooth) graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  Gdiplus::SolidBrush brush{ToColor(argb)};
  graphics.FillPie(&brush, ToGdiRect(rc), static_cast<Gdiplus::REAL>(startDegrees),
                   static_cast<Gdiplus::REAL>(sweepDegrees));
}

void FillEllipse(HDC hDC, const RECT& rc, DWORD argb, bool smooth) {
  Gdiplus::Graphics graphics(hDC);
  if (smooth) graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  Gdiplus::SolidBrush brush{ToColor(argb)};
  graphics.FillEllipse(&brush, ToGdiRect(rc));
}

}  // namespace toolkit
