// The install tab's pages by markup name: what prepares each, where it
// sits in the tab, and the port type page's cards built from the
// port-kind table.
#include "port_kinds.h"

#include <algorithm>

namespace {

// Where the cards go on the port type page; the placeholder is replaced.
const wchar_t kCardPlaceholder[] = L"port_kind_cards";
const int kCardsPerLine = 2;

// Markup attribute values come from our own table, but a quote would
// still end the attribute early.
std::wstring Escaped(const wchar_t* text) {
  std::wstring out;
  for (const wchar_t* c = text; *c; ++c) {
    if (*c == L'"') out += L"&quot;";
    else if (*c == L'&') out += L"&amp;";
    else if (*c == L'<') out += L"&lt;";
    else out += *c;
  }
  return out;
}

}  // namespace

// The pages every kind may pass through; a kind's own page is in its row.
void SetupEngine::ShowInstallPage(const std::wstring& page) {
  struct SharedPage {
    const wchar_t* name;
    void (SetupEngine::*show)();
  };
  static const SharedPage kShared[] = {
      {kPortTypePage, &SetupEngine::ShowPortTypePage},     {kScanPage, &SetupEngine::ShowScanPage},
      {kModelPage, &SetupEngine::ShowModelPage},           {kPortListPage, &SetupEngine::ShowPortListPage},
      {kPrinterNamePage, &SetupEngine::ShowPrinterNamePage}, {kSummaryPage, &SetupEngine::ShowSummaryPage},
      {kRunPage, &SetupEngine::StartInstallRun},
  };
  ShowPrevious(true);
  if (!tabSwitchInstall) return;
  for (const SharedPage& shared : kShared) {
    if (page == shared.name) {
      (this->*shared.show)();
      return;
    }
  }
  for (const PortKind& kind : PortKinds()) {
    if (kind.page.name && page == kind.page.name) {
      kind.page.show(*this);
      return;
    }
  }
}

void SetupEngine::SelectInstallPage(const std::wstring& page) {
  if (!tabSwitchInstall) return;
  for (int at = 0; at < tabSwitchInstall->GetCount(); ++at) {
    if (tabSwitchInstall->GetItemAt(at)->GetName() == page) {
      tabSwitchInstall->SelectItem(at);
      return;
    }
  }
}

std::wstring SetupEngine::CurrentInstallPage() const {
  if (!tabSwitchInstall) return std::wstring();
  CControlUI* page = tabSwitchInstall->GetItemAt(tabSwitchInstall->GetCurSel());
  return page ? page->GetName() : std::wstring();
}

std::vector<std::wstring> SetupEngine::BindInstallPages() {
  std::vector<std::wstring> missing;
  if (!tabSwitchInstall) return missing;
  std::vector<std::wstring> present;
  for (int at = 0; at < tabSwitchInstall->GetCount(); ++at) present.push_back(tabSwitchInstall->GetItemAt(at)->GetName());
  auto need = [&](const wchar_t* page) {
    if (std::find(present.begin(), present.end(), page) == present.end() &&
        std::find(missing.begin(), missing.end(), page) == missing.end())
      missing.push_back(page);
  };
  for (const PortKind& kind : PortKinds()) {
    for (const wchar_t* page : kind.pages) need(page);
    if (kind.page.name) need(kind.page.name);
  }

  // The cards, in lines of two as the page was drawn for.
  CControlUI* placeholder = Find(kCardPlaceholder);
  auto* page = placeholder ? dynamic_cast<IContainerUI*>(placeholder->GetParent()) : nullptr;
  if (!page) {
    missing.push_back(kCardPlaceholder);
    return missing;
  }
  int at = page->GetItemIndex(placeholder);
  page->Remove(placeholder);
  const std::vector<PortKind>& kinds = PortKinds();
  for (size_t first = 0; first < kinds.size(); first += kCardsPerLine) {
    std::wstring markup = L"<HorizontalLayout height=\"40\" childpadding=\"12\">";
    for (size_t row = first; row < std::min(kinds.size(), first + kCardsPerLine); ++row) {
      markup += L"<Option name=\"" + Escaped(kinds[row].option) + L"\" group=\"porttype\"";
      markup += L" style=\"card_style\" resourcetext=\"true\" text=\"" + Escaped(kinds[row].text) +
                L"\" foreimage=\"file='" + Escaped(kinds[row].icon) + L"' dest='8,6,36,34'\"/>";
    }
    markup += L"</HorizontalLayout>";
    CDialogBuilder builder;
    if (CControlUI* line = builder.Create(markup, nullptr, tabSwitchInstall->GetManager())) page->AddAt(line, at++);
  }
  // Selected quietly, as the page's own markup would have it: the
  // window is still being set up, so nobody is told.
  if (auto* first = FindAs<COptionUI>(kinds.front().option)) first->Selected(true, false);
  return missing;
}
