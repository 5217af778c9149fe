// Drawing and image decoding, implemented by the host: GDI and GDI+ on
// Windows; on the headless host nothing is drawn and images are only
// measured from their headers.
#pragma once

#include "toolkit/paint_manager.h"

#include <cstdint>
#include <cstdio>
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
// The window's font, or one like it in a face that has every character
// of the text when the font itself lacks some; and that font's face.
HFONT FontFor(CPaintManagerUI* pm, int font, const std::wstring& text);
std::wstring FaceFor(CPaintManagerUI* pm, int font, const std::wstring& text);
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

namespace render {
// Paints the window's controls (WM_PAINT); false when the host does not paint.
bool PaintWindow(HWND hWnd, CControlUI* root);
// A native child's WM_COMMAND notification (edit text changes).
bool HandleNativeCommand(WPARAM wParam, LPARAM lParam);
POINT ScreenToClientPoint(HWND hWnd, POINT pt);
void CaptureMouse(HWND hWnd, bool capture);
// Asks for a WM_MOUSELEAVE when the mouse leaves the window's client area.
void TrackMouseLeave(HWND hWnd);
// Keyboard: a control's focus mark (drawn over the finished window);
// the window takes the keyboard back from a native child of its own.
void DrawFocusMark(HDC hDC, const RECT& rc, int scalePercent);
void TakeKeyboardFocus(HWND hWnd);
// Screen readers: WM_GETOBJECT for the window's client area (false: not
// answered here), and a focus move to the control numbered childId
// (1-based, CPaintManagerUI::GetAccessibleControls order).
bool AnswerAccessibleObject(HWND hWnd, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
void NotifyAccessibleFocus(HWND hWnd, int childId);
// WM_GETOBJECT for a native text box: the system's object named by the
// box's label (TextBoxAccessibleName: the name the paint manager gives
// the box's control; empty when the box has none).
bool AnswerTextBoxAccessible(HWND box, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
std::wstring TextBoxAccessibleName(HWND box);
// Releases what the host started (GDI+).
void ShutdownHost();
// The frameless skin window: cuts it to corners rounded by `round`
// (pixels), or none while maximised.
void SetWindowCorners(HWND hWnd, SIZE round);
// Answers WM_GETMINMAXINFO (minMaxInfo is its lParam): maximised within the
// work area of the window's monitor, since without a frame it would cover
// the task bar, and no smaller than minTrack (pixels; 0 leaves a side as
// it is). False where the host leaves the message to the default.
bool FillMinMaxInfo(HWND hWnd, LPARAM minMaxInfo, SIZE minTrack);
}  // namespace render

namespace render {
// A zip password as zip tools store it: in the ANSI code page on Windows.
std::string ZipPasswordBytes(const std::wstring& password);
// Opens a file for reading in binary; the path may use backslashes.
FILE* OpenForReading(const std::wstring& path);
}  // namespace render

struct TCharFormatUI;

namespace render {
// The native text box a host lays over an edit control, which does the
// editing: on Windows an EDIT child window, or Msftedit's RICHEDIT50W for
// the rich edit. The headless host has none (CreateTextBox gives null),
// so there the controls keep their text alone, as on Windows when the
// rich edit library cannot be loaded.
struct TTextBoxStyle {
  bool rich = false;  // multi-line with formatted text, scrolled down
  bool readOnly = false;
  bool password = false;
  bool numberOnly = false;
  bool wantReturn = false;
};
// Null when the box cannot be made. Its text changes reach
// owner->OnUserTextChanged through HandleNativeCommand.
HWND CreateTextBox(CControlUI* owner, CPaintManagerUI* pm, const TTextBoxStyle& style);
void DestroyTextBox(HWND& box);
// Moves the box over rc (client pixels of the paint window), shown or hidden.
void PlaceTextBox(HWND box, const RECT& rc, bool visible);
// The height of one line of text in font (the GUI font when null).
LONG TextBoxLineHeight(HWND box, HFONT font);
std::wstring TextBoxText(HWND box);
void SetTextBoxText(HWND box, const std::wstring& text);
void SetTextBoxFont(HWND box, HFONT font, bool redraw);
void SetTextBoxLimit(HWND box, int maxChar);
void SetTextBoxReadOnly(HWND box, bool readOnly);
void SetTextBoxPassword(HWND box, bool password);
void SetTextBoxNumberOnly(HWND box, bool numberOnly);
void SelectInTextBox(HWND box, int start, int end);
// Takes the keyboard focus when the box is shown.
void FocusTextBox(HWND box);
void EnableTextBox(HWND box, bool enable);
// Rich boxes: the default text colour (0xAARRGGBB); the format of what is
// next appended at the end (false when the box refuses it); appending;
// scrolling to the last line.
void SetTextBoxColor(HWND box, DWORD argb);
bool FormatTextBoxEnd(HWND box, const TCharFormatUI& format);
void AppendToTextBox(HWND box, const std::wstring& text, bool canUndo);
void ScrollTextBoxToEnd(HWND box);
}  // namespace render

// The colour of the palette field at pt inside rc (CColorPaletteUI).
DWORD PaletteColorAt(const RECT& rc, POINT pt);
