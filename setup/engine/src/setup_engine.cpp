#include "engine/setup_engine.h"

std::atomic<LANGID> g_currentLangId{1033};

// The process-wide engine.
SetupEngine& SetupEngine::Instance() {
  static SetupEngine engine;
  return engine;
}

// Notifications reach the wizard here; it has no page logic yet.
void SetupEngine::OnNotify(TNotifyUI&) {}

// Clicks reach the wizard here before the window's own handling.
void SetupEngine::OnClick(TNotifyUI&) {}

// Start page: nothing to prepare until the wizard pages exist.
void SetupEngine::Home() {}

// Wizard step forward: no page sequence yet.
void SetupEngine::Next() {}

// Wizard step back: no page sequence yet.
void SetupEngine::Previous() {}
