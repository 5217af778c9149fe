// A bare window that stands in for the main window: it keeps every private
// message the engine sends it, with a copy of the record, so tests can read
// the logs, the animation and the row changes without the real window.
#pragma once

#include "engine/ui_messages.h"
#include "toolkit/toolkit.h"

#include <string>
#include <utility>
#include <vector>

struct SentMessage {
  UINT msg = 0;
  WPARAM wParam = 0;
  bool hasRecord = false;
  TUiMsgParam record;
};

class MessageRecorder : public CWindowWnd {
 public:
  // Creates the (hidden) window; false when it could not be made.
  bool Open();
  void CloseNow();
  // The lines of a log message since the log was last cleared, each as its
  // text with "! " in front of error lines.
  std::vector<std::wstring> Log(UINT msg) const;
  // The wParam values of every message of this id, in order.
  std::vector<WPARAM> Params(UINT msg) const;

  std::vector<SentMessage> messages;

 protected:
  const wchar_t* GetWindowClassName() const override { return L"EngineMessageRecorder"; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// Puts texts into the language table for the keys a test reads.
void SetTexts(const std::vector<std::pair<const wchar_t*, const wchar_t*>>& texts);

// Short texts for the removal run's log keys ("printer %s", "removed %s",
// "restart", ...), so tests can compare whole logs.
void SetRemovalLogTexts();
