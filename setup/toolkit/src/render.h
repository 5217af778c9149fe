// Drawing and image decoding, implemented by the host: GDI and GDI+ on
// Windows; on the headless host nothing is drawn and images are only
// measured from their headers.
#pragma once

#include "toolkit/paint_manager.h"

#include <cstdint>
#include <string>
#include <vector>

// An image description: a name or "file='..' source='..' dest='..'
// corner='..' fade='..'".
struct TDrawImage {
  std::wstring file;
  RECT source{0, 0, 0, 0};
  RECT dest{0, 0, 0, 0};
  RECT corner{0, 0, 0, 0};
  bool hasSource = false;
  bool hasDest = false;
  int fade = 255;
};
bool ParseImageDescription(const std::wstring& text, TDrawImage& out);

namespace render {
// Decodes image bytes; false when they are not a supported image.
bool DecodeImage(const std::vector<uint8_t>& bytes, TImageInfo& info);
void FreeImage(TImageInfo& info);
void SelectFrame(TImageInfo& info, int frame);

void DrawColor(HDC hDC, const RECT& rc, DWORD argb);
void DrawBorder(HDC hDC, const RECT& rc, int size, DWORD argb, SIZE round);
void DrawImage(HDC hDC, const TImageInfo& image, const RECT& dest, const RECT& source, const RECT& corner, int fade);
void DrawText(HDC hDC, CPaintManagerUI* pm, RECT rc, const std::wstring& text, DWORD argb, int font, UINT style);
SIZE MeasureText(CPaintManagerUI* pm, const std::wstring& text, int font);
// Fills rc with the palette field of CColorPaletteUI.
void DrawPalette(HDC hDC, const RECT& rc);

HFONT CreateFontFor(const TFontInfo& info, int scalePercent);
// The face a font of this description is created with: its own, else the
// system GUI font's.
std::wstring FaceOf(const TFontInfo& info);
void DeleteFontHandle(HFONT font);

// Control timers: start/stop a timer of the window that arrives as
// WM_TIMER with nativeId.
bool StartTimer(HWND hWnd, UINT_PTR nativeId, UINT elapseMs);
void StopTimer(HWND hWnd, UINT_PTR nativeId);
}  // namespace render

// The shared image cache (keyed by archive path).
// Loads on first use; a failed load is remembered too. scale is recorded
// in the entry for the variant name it was loaded under.
const TImageInfo* GetCachedImage(const std::wstring& path, int scale);
void FreeImageCache();

namespace render {
// Restricts drawing to rc until the matching PopClip.
void PushClip(HDC hDC, const RECT& rc);
void PopClip(HDC hDC);
}  // namespace render

#ifdef _WIN32
namespace render {
// One piece of a text and the font it is drawn in.
struct TextRun {
  std::wstring text;
  HFONT font;
};
// Wine shapes a string that holds Thai with the glyphs of the selected face
// alone, its font links ignored, so "Thai (ไทย)" in a face without Thai or
// "ภาษาญี่ปุ่น (日本語)" in one without Han shows boxes. Such a text is cut
// into Thai runs and the rest; a Thai run the font cannot draw gets a face
// that can, the rest keeps the font (and its links). Any other text is one
// run in the font.
std::vector<TextRun> SplitByScript(HDC dc, HFONT font, const std::wstring& text);
}  // namespace render
#endif

namespace render {
// Paints the window's controls (WM_PAINT); false when the host does not paint.
bool PaintWindow(HWND hWnd, CControlUI* root);
// A native child's WM_COMMAND notification (edit text changes).
bool HandleNativeCommand(WPARAM wParam, LPARAM lParam);
POINT ScreenToClientPoint(HWND hWnd, POINT pt);
void CaptureMouse(HWND hWnd, bool capture);
// Asks for a WM_MOUSELEAVE when the mouse leaves the window's client area.
void TrackMouseLeave(HWND hWnd);
// Releases what the host started (GDI+).
void ShutdownHost();
}  // namespace render

// The colour of the palette field at pt inside rc (CColorPaletteUI).
DWORD PaletteColorAt(const RECT& rc, POINT pt);
