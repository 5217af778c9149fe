// The main window's private messages. The wizard sends them synchronously
// (SendMessage) from the UI thread or from its worker threads; the window
// applies them on the UI thread. Records travel by address in LPARAM and
// belong to the sender for the duration of the call.
#pragma once

#include "toolkit/platform.h"

#include <cstdint>
#include <string>
#include <vector>

enum : UINT {
  UIMSG_LANGUAGE_CHANGED = 750,
  UIMSG_DELETE_LOG = 751,
  UIMSG_INSTALL_LOG = 752,
  UIMSG_DELETE_ANIMATION = 753,
  UIMSG_INSTALL_ANIMATION = 754,
  UIMSG_SHOW_ROW_H1 = 756,
  UIMSG_SHOW_ROW_H2 = 757,
  UIMSG_SHOW_PRINTER_ACTIONS = 758,
  UIMSG_PRINTER_NAME_STATUS = 759,
  UIMSG_NEXT_BUTTON = 760,
  UIMSG_PREVIOUS_BUTTON = 761,
  UIMSG_WIZARD_NEXT = 768,      // same value as WM_CUT; only this meaning here
  UIMSG_WIZARD_PREVIOUS = 769,  // same value as WM_COPY
  UIMSG_BLUETOOTH_ADAPTER = 770,
  // Posted (not sent) when a worker thread has finished with the engine
  // and the window; a close that waited for the run goes ahead then.
  UIMSG_WORKER_ENDED = 771,
  UIMSG_RUN_HEADING = 772,  // wParam 0 install, 1 removal; text = key, isError = failed
};

struct TUiMsgParam {
  std::wstring text;     // text to show or append
  bool isError = false;  // log: red line; name check: failed
  bool clear = false;    // log: empty the box instead of appending
  bool enabled = true;   // next button: enabled state
  // Log: when set, text is this key's language text with args in its "%s"
  // in order, and the window formats it again after a language switch.
  std::wstring key;
  std::vector<std::wstring> args;
  // Log: the error text of this system error code follows args (it is
  // asked for again in the new language too).
  bool hasErrorCode = false;
  uint32_t errorCode = 0;
};
