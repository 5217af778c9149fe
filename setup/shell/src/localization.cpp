#include "localization.h"

#include "engine/ui_messages.h"

namespace {

const LANGID kEnglish = 1033;

// English as the table itself knows it, for a table not yet filled.
const LanguageInfo& FallbackRow() {
  static const LanguageInfo row{L"lan.en", kEnglish, L"en", L"lan_en.xml", 14};
  return row;
}

// Makes a row current and merges its file into the text table. A missing
// or malformed file leaves the texts as they were.
void MakeCurrent(SetupEngine& engine, const LanguageInfo& row) {
  engine.currentLanguage = row.langId;
  CResourceManager::GetInstance().LoadLanguage(row.fileName);
}

}  // namespace

// The interface languages: one row each.  A language also needs its file
// (setup/archive/content/lan_<code>.xml) with every key translated.
const std::vector<LanguageInfo>& LanguageRows() {
  static const std::vector<LanguageInfo> rows = {
      {L"lan.cn", 2052, L"cn", L"lan_cn.xml", 14}, {L"lan.en", 1033, L"en", L"lan_en.xml", 14},
      {L"lan.es", 1034, L"es", L"lan_es.xml", 14}, {L"lan.ja", 1041, L"ja", L"lan_ja.xml", 14},
      {L"lan.ko", 1042, L"ko", L"lan_ko.xml", 18}, {L"lan.pt", 2070, L"pt", L"lan_pt.xml", 14},
      {L"lan.th", 1054, L"th", L"lan_th.xml", 20},
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
