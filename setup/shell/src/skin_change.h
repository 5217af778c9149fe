// The skin chooser's broadcast: a background colour or image for the
// main window, sent through one process-wide observer.
#pragma once

#include "observer.h"
#include "toolkit/platform.h"

#include <string>

struct SkinChangedParam {
  bool isColor = false;
  DWORD color = 0;     // ARGB, used when isColor
  std::wstring image;  // image name, used otherwise
};

using SkinChangeObserver = ObserverImpl<int, SkinChangedParam>;
using SkinChangeReceiver = ReceiverImpl<int, SkinChangedParam>;

// The one observer that skin changes are broadcast through.
SkinChangeObserver& GetSkinChangeObserver();
