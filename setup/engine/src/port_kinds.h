// A row of the port-kind table: everything the wizard does differently for
// one kind of connection.
#pragma once

#include "engine/setup_engine.h"

#include <vector>

struct SetupEngine::PortKind {
  // A check that must pass before the wizard enters a page.
  struct PageCheck {
    InstallPage page;
    bool (SetupEngine::*check)();
  };

  const wchar_t* option;             // the kind's option on the port type page (markup name)
  std::vector<InstallPage> pages;    // the install pages in order
  void (SetupEngine::*chosen)();     // after a click on the option
  void (SetupEngine::*startScan)();  // on the scan page, when the kind has one
  const wchar_t* portFilter;         // port list page: only names with this text; null for all
  const wchar_t* defaultPort;        // port list page: the port preselected when none is chosen
  std::vector<PageCheck> checks;
  // The install run's first step, making the port; null when the port exists.
  bool (SetupEngine::*createPort)(InstallResult& result);
};
