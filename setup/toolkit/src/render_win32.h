// What the Win32 render back end offers beyond render.h, for its own
// tests.
#pragma once

#include "render.h"

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
// A text the font lacks glyphs for is first given, whole, a font like it
// in a face that has them all.
std::vector<TextRun> SplitByScript(HDC dc, HFONT font, const std::wstring& text);
// The font, or one like it in a face with every character of the text.
HFONT FontFor(HDC dc, HFONT font, const std::wstring& text);
}  // namespace render
