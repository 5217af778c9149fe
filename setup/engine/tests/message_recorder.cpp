#include "message_recorder.h"

// A small hidden top-level window.
bool MessageRecorder::Open() { return Create(nullptr, L"recorder", 0, 0, 0, 0, 10, 10) != nullptr; }

// Destroys the window if it is still there.
void MessageRecorder::CloseNow() {
  if (m_hWnd && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
}

// A clear request empties the lines gathered so far.
std::vector<std::wstring> MessageRecorder::Log(UINT msg) const {
  std::vector<std::wstring> lines;
  for (const SentMessage& sent : messages) {
    if (sent.msg != msg || !sent.hasRecord) continue;
    if (sent.record.clear) {
      lines.clear();
      continue;
    }
    lines.push_back((sent.record.isError ? L"! " : L"") + sent.record.text);
  }
  return lines;
}

// Every message of this id, in the order sent.
std::vector<WPARAM> MessageRecorder::Params(UINT msg) const {
  std::vector<WPARAM> params;
  for (const SentMessage& sent : messages) {
    if (sent.msg == msg) params.push_back(sent.wParam);
  }
  return params;
}

// The engine's messages lie between the language change and the adapter row.
LRESULT MessageRecorder::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= UIMSG_LANGUAGE_CHANGED && msg <= UIMSG_BLUETOOTH_ADAPTER) {
    SentMessage sent;
    sent.msg = msg;
    sent.wParam = wParam;
    if (const auto* record = reinterpret_cast<const TUiMsgParam*>(lParam)) {
      sent.hasRecord = true;
      sent.record = *record;
    }
    messages.push_back(sent);
    return 0;
  }
  return CWindowWnd::HandleMessage(msg, wParam, lParam);
}

// Each key gets its text in the process-wide table.
void SetTexts(const std::vector<std::pair<const wchar_t*, const wchar_t*>>& texts) {
  for (const auto& [key, text] : texts) CResourceManager::GetInstance().SetText(key, text);
}

// The removal log keys with short, recognisable texts.
void SetRemovalLogTexts() {
  SetTexts({{L"tip.startdeleteprinter", L"printer %s"},
            {L"tip.startdeletedriver", L"driver %s"},
            {L"tip.startdeletepack", L"package %s"},
            {L"tip.deletesuccess", L"removed %s"},
            {L"tip.deletefail", L"not removed %s"},
            {L"tip.failreason", L"reason %s"},
            {L"tip.tryrestartprintservice", L"restart"},
            {L"tip.stopprintservicefail", L"stop failed"},
            {L"tip.printservicenotrunning", L"not running"},
            {L"tip.startprintserviceok", L"running"},
            {L"tip.startprintservicefail", L"start failed"},
            {L"tip.errorcode", L"Code: %s - %s"}});
}
