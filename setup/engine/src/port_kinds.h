// A row of the port-kind table: everything the wizard does differently for
// one kind of connection, with the markup names it uses.
#pragma once

#include "engine/setup_engine.h"

#include <functional>
#include <string>
#include <vector>

struct SetupEngine::PortKind {
  using Step = std::function<void(SetupEngine&)>;
  // The kind's own install page: its markup name and what prepares it.
  struct Page {
    const wchar_t* name = nullptr;
    Step show = {};
  };
  // A check that must pass before the wizard enters a page.
  struct PageCheck {
    const wchar_t* page;
    std::function<bool(SetupEngine&)> check;
  };
  // A click on a control of the kind's pages; newState is an option's
  // state after the click.
  struct ClickRoute {
    const wchar_t* control;
    std::function<void(SetupEngine&, bool newState)> handle;
  };
  // A notification from a control of the kind's pages (typedOnly: only
  // for a changed text).
  struct NotifyRoute {
    const wchar_t* control;
    bool typedOnly;
    std::function<void(SetupEngine&, TNotifyUI&)> handle;
  };

  // The kind's card on the port type page.
  const wchar_t* option = nullptr;  // markup name
  const wchar_t* text = nullptr;    // language key of its title
  const wchar_t* icon = nullptr;    // archive path of its image
  std::vector<const wchar_t*> pages = {};  // the install pages in order, by markup name
  Page page = {};                     // the kind's own page, if it has one
  Step chosen = {};                   // after a click on the card
  Step startScan = {};                // on the scan page, when the kind has one
  const wchar_t* portFilter = nullptr;   // port list page: only names with this text; null for all
  const wchar_t* defaultPort = nullptr;  // port list page: the port preselected when none is chosen
  bool addressOnSummary = false;         // the summary shows the address row
  bool beforeChoice = false;             // the kind the wizard assumes until one is chosen
  std::vector<PageCheck> checks = {};
  std::vector<ClickRoute> clicks = {};
  std::vector<NotifyRoute> notifications = {};
  // What the kind's pages fill in; emptied (with the port name) once the
  // run has made the port, so the next install starts from a fresh page.
  std::vector<std::wstring SetupEngine::*> fields = {};
  // The install run's first step, making the port; empty when the port exists.
  std::function<bool(SetupEngine&, InstallResult&)> createPort = {};
};
