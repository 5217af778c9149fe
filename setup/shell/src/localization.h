// The language table, the start-up choice of language, text lookups,
// the per-language fonts of the main window and the run-time switch.
#pragma once

#include "engine/setup_engine.h"
#include "toolkit/toolkit.h"

#include <string>
#include <vector>

// The one table of interface languages; adding a language is adding a row
// and its file (setup/archive/README.md).
const std::vector<LanguageInfo>& LanguageRows();

// Fills the engine's language table from LanguageRows().
void FillLanguageTable(SetupEngine& engine);

// The row of the current language; English when the current language is
// not in the table.
const LanguageInfo& CurrentLanguageInfo(const SetupEngine& engine);

// Picks the row that matches userLangId exactly (English otherwise),
// makes it current, publishes it and loads its file into the text table.
// Returns the chosen language.
LANGID ChooseLanguage(SetupEngine& engine, LANGID userLangId);
// The same for the user's Windows display language.
LANGID ChooseStartupLanguage(SetupEngine& engine);

// The text of a key in the current language; the key itself when no file
// has it; empty for a null key. Safe from any thread.
std::wstring LangText(const wchar_t* key);

// The markup font of the check lines under the address and name boxes.
constexpr int kStatusLineFont = 5;

// Sets the window's default font to the row's size, the status lines'
// font two sizes below it, and picks the title label's markup font (3 for
// size 14, 22 otherwise).
void ApplyLanguageFonts(CPaintManagerUI& pm, CLabelUI* titleLabel, const LanguageInfo& row);

// Switches to a language of the table: loads its file over the current
// texts, repaints the dialog that asked (if any), tells the main window
// (UIMSG_LANGUAGE_CHANGED, synchronously) and publishes the new language.
void SwitchLanguage(SetupEngine& engine, LANGID langId, CPaintManagerUI* dialog, HWND mainWnd);
