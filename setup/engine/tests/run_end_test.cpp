// The worker runs: what a run empties must be empty before the row with the
// start-page button comes back, since from that moment the UI thread may
// use the wizard's state again; and without threads the work still happens.
#include "engine_fixture.h"
#include "message_recorder.h"

namespace {

// Notes the wizard's state each time the finished-run row is shown.
class RowShownRecorder : public MessageRecorder {
 public:
  explicit RowShownRecorder(const SetupEngine& engine) : engine_(engine) {}
  struct Snapshot {
    std::wstring portName, ipAddress;
    size_t printers = 0, drivers = 0;
  };
  std::vector<Snapshot> atRowShown;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == UIMSG_SHOW_ROW_H1 && wParam == 1)
      atRowShown.push_back({engine_.portName, engine_.ipAddress, engine_.selectedPrinters.size(),
                            engine_.selectedDrivers.size()});
    return MessageRecorder::HandleMessage(msg, wParam, lParam);
  }

 private:
  const SetupEngine& engine_;
};

class RunEndTest : public EngineTest {
 protected:
  // The run page's Next with the run's messages going to the recorder.
  void RunIntoRecorder() {
    ASSERT_TRUE(recorder.Open());
    engine.hMainWnd = recorder.GetHWND();
    engine.Next();
    WaitWorkers();
    engine.hMainWnd = hwnd;
    recorder.CloseNow();
  }
  RowShownRecorder recorder{engine};
};

TEST_F(RunEndTest, NetworkNamesAreEmptiedBeforeTheStartButtonReturns) {
  ToPortKind(L"option_port_net");
  NextPage();
  Type(L"edit_install_lan_ip", L"10.0.0.9");
  Type(L"edit_install_lan_portName", L"front");
  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kSummaryPage);
  RunIntoRecorder();
  ASSERT_TRUE(machine.spooler.TcpPort(L"front"));
  ASSERT_EQ(recorder.atRowShown.size(), 1u);
  EXPECT_EQ(recorder.atRowShown[0].portName, L"");
  EXPECT_EQ(recorder.atRowShown[0].ipAddress, L"");
}

TEST_F(RunEndTest, RemovalSelectionsAreEmptiedBeforeTheStartButtonReturns) {
  AddQueue(L"Front", L"COM1:", Model(0).driverName);
  Click(L"option_delete");
  NextPage();
  auto* printerList = FindAs<CListUI>(L"listex_delete_printer");
  ASSERT_EQ(printerList->GetCount(), 1);
  wnd->GetPaintManager().SendNotify(printerList->GetItemAt(0), DUI_MSGTYPE_ITEMCLICK);
  NextPage();
  wnd->GetPaintManager().SendNotify(FindAs<CListUI>(L"listex_delete_driver")->GetItemAt(0), DUI_MSGTYPE_ITEMCLICK);
  NextPage();
  ASSERT_EQ(engine.tabSwitchDelete->GetCurSel(), kRemovalSummaryPage);
  RunIntoRecorder();
  // The start-page row comes back once, after the run, never during it.
  ASSERT_EQ(recorder.atRowShown.size(), 1u);
  EXPECT_EQ(recorder.atRowShown.back().printers, 0u);
  EXPECT_EQ(recorder.atRowShown.back().drivers, 0u);
}

TEST_F(RunEndTest, WithoutThreadsTheScanAndTheRunStillHappen) {
  int refused = 0;
  engine.startWorker = [&](std::function<void()>) {
    ++refused;
    return false;
  };
  machine.PlugUsbPrinter(L"USB\\VID_1A2B&PID_3C4D\\0001", 2);
  NextPage();
  NextPage();  // the scan moves on by itself, here on the UI thread
  EXPECT_EQ(refused, 1);
  ASSERT_EQ(InstallKind(), kUsbListPage);
  EXPECT_EQ(engine.portName, L"USB002");
  EXPECT_TRUE(Visible(L"btn_setup_next"));

  NextPage();
  NextPage();
  NextPage();
  ASSERT_EQ(InstallKind(), kSummaryPage);
  NextPage();
  EXPECT_EQ(refused, 2);
  EXPECT_EQ(engine.RunningWorkers(), 0);
  EXPECT_TRUE(Logged(Text(L"tip.installprintersuccess"), false));
  EXPECT_TRUE(Visible(L"hor_btn_h1"));
  EXPECT_FALSE(Visible(L"ani_gif_install"));
}

}  // namespace
