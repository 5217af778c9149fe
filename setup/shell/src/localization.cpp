#include "localization.h"

#include "engine/ui_messages.h"

namespace {

const LANGID kEnglish = 1033;

// English as the table itself knows it, for a table not yet filled.
const LanguageInfo& FallbackRow() {
  static const LanguageInfo row{.code = L"en", .langId = kEnglish, .locale = L"en-US", .ownName = L"English"};
  return row;
}

// Makes a row current and merges its file into the text table. A missing
// or malformed file leaves the texts as they were. A language the file
// does not name shows its own name (a new language is named only in its
// own file), not a name left by the previous file.
void MakeCurrent(SetupEngine& engine, const LanguageInfo& row) {
  engine.currentLanguage = row.langId;
  CResourceManager& texts = CResourceManager::GetInstance();
  for (const auto& entry : engine.languages) texts.SetText(entry.second.NameKey(), entry.second.ownName);
  texts.LoadLanguage(row.FileName());
}

}  // namespace

// The interface languages: one row each, plus the language's file
// setup/archive/content/lan_<code>.xml with every key translated. The
// build reads these rows for the tests' language lists
// (setup/shell/languages.cmake): keep one row a line, fields in this order.
const std::vector<LanguageInfo>& LanguageRows() {
  static const std::vector<LanguageInfo> rows = {
      {.code = L"cn", .langId = 2052, .locale = L"zh-CN", .ownName = L"简体中文", .fontSize = 14},
      {.code = L"en", .langId = 1033, .locale = L"en-US", .ownName = L"English", .fontSize = 14},
      {.code = L"es", .langId = 1034, .locale = L"es-ES", .ownName = L"Español", .fontSize = 14},
      {.code = L"ja", .langId = 1041, .locale = L"ja-JP", .ownName = L"日本語", .fontSize = 14},
      {.code = L"ko", .langId = 1042, .locale = L"ko-KR", .ownName = L"한국어", .fontSize = 18},
      {.code = L"pt", .langId = 2070, .locale = L"pt-PT", .ownName = L"Português", .fontSize = 14},
      {.code = L"th", .langId = 1054, .locale = L"th-TH", .ownName = L"ภาษาไทย", .fontSize = 20},
  };
  return rows;
}

// The engine keeps the rows by LANGID, so the language dialog lists them
// in that order.
void FillLanguageTable(SetupEngine& engine) {
  engine.languages.clear();
  for (const auto& row : LanguageRows()) engine.languages[row.langId] = row;
}

// The current row, else English, else English's built-in row.
const LanguageInfo& CurrentLanguageInfo(const SetupEngine& engine) {
  auto it = engine.languages.find(engine.currentLanguage);
  if (it == engine.languages.end()) it = engine.languages.find(kEnglish);
  return it != engine.languages.end() ? it->second : FallbackRow();
}

// Exact match on the whole LANGID only: 0x0416 (Brazil) is not 2070.
LANGID ChooseLanguage(SetupEngine& engine, LANGID userLangId) {
  auto it = engine.languages.find(userLangId);
  if (it == engine.languages.end()) it = engine.languages.find(kEnglish);
  const LanguageInfo& row = it != engine.languages.end() ? it->second : FallbackRow();
  MakeCurrent(engine, row);
  g_currentLangId = row.langId;
  return row.langId;
}

// Start-up: the user's Windows display language.
LANGID ChooseStartupLanguage(SetupEngine& engine) {
  return ChooseLanguage(engine, GetUserDefaultUILanguage());
}

// Lookups go to the toolkit's text table, which is safe against a merge
// running on the UI thread.
std::wstring LangText(const wchar_t* key) {
  if (!key) return std::wstring();
  return CResourceManager::GetInstance().GetText(key);
}

// Regular weight, no underline or italic; the face is the system's
// default GUI font (the toolkit's empty face).
void ApplyLanguageFonts(CPaintManagerUI& pm, CLabelUI* titleLabel, const LanguageInfo& row) {
  pm.SetDefaultFont(L"", row.fontSize, false, false, false);
  // Scripts drawn larger (Korean, Thai) are unreadable at the Latin 12 px.
  pm.AddFont(kStatusLineFont, L"", row.fontSize - 2, false, false, false);
  if (titleLabel) titleLabel->SetFont(row.fontSize == 14 ? 3 : 22);
}

// Load and publish first, so the dialog and the main window repaint with
// new texts and the logs ask the system for its error texts in the new
// language, not the one being left.
void SwitchLanguage(SetupEngine& engine, LANGID langId, CPaintManagerUI* dialog, HWND mainWnd) {
  auto it = engine.languages.find(langId);
  if (it == engine.languages.end()) return;
  MakeCurrent(engine, it->second);
  g_currentLangId = langId;
  if (dialog) {
    dialog->RepaintAll();
    dialog->NeedUpdate();
  }
  if (mainWnd) SendMessageW(mainWnd, UIMSG_LANGUAGE_CHANGED, 0, 0);
}
