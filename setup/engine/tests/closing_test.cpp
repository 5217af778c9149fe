// Closing the main window while a worker runs: the user is asked, the
// window stays until the run is over, and the removal run still restarts
// the print spooler it stopped.
#include "engine_fixture.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

class ClosingTest : public EngineTest {
 protected:
  void TearDown() override {
    ReleaseWorkers();
    EngineTest::TearDown();
  }
  // Worker threads wait until the test lets them go.
  void HoldWorkers() {
    engine.startWorker = [this](std::function<void()> body) {
      std::thread([this, body]() {
        {
          std::unique_lock<std::mutex> lock(mutex_);
          released_.wait(lock, [this] { return go_; });
        }
        body();
      }).detach();
      return true;
    };
  }
  void ReleaseWorkers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      go_ = true;
    }
    released_.notify_all();
  }
  // Handles messages until the window is gone or two seconds have passed.
  bool PumpUntilClosed() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (IsWindow(hwnd) && std::chrono::steady_clock::now() < deadline) {
      if (toolkit::headless::PumpPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return !IsWindow(hwnd);
  }
  // From the start page to the removal run of our driver and its queue.
  void StartRemovalRun() {
    AddQueue(L"Front", L"COM1:", Model(0).driverName);
    Click(L"option_delete");
    NextPage();
    NextPage();
    wnd->GetPaintManager().SendNotify(FindAs<CListUI>(L"listex_delete_driver")->GetItemAt(0),
                                      DUI_MSGTYPE_ITEMCLICK);
    NextPage();
    HoldWorkers();
    Click(L"btn_setup_next");
    ASSERT_EQ(engine.RunningWorkers(), 1);
  }

  std::mutex mutex_;
  std::condition_variable released_;
  bool go_ = false;
};

TEST_F(ClosingTest, ClosingDuringARemovalAsksAndWaitsForTheSpoolerRestart) {
  StartRemovalRun();
  // Before the worker has done anything, Previous and Next are out of reach.
  EXPECT_FALSE(Visible(L"hor_btn_h2"));

  // "No" keeps the program; the close button and Alt+F4 both ask.
  toolkit::headless::SetMessageBoxAnswer(IDNO);
  Click(L"closebtn");
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), Text(L"tip.closeafterrun"));
  EXPECT_TRUE(IsWindow(hwnd));
  toolkit::headless::SetMessageBoxAnswer(IDYES);
  SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  toolkit::headless::PumpPending();
  ASSERT_TRUE(IsWindow(hwnd));

  ReleaseWorkers();
  ASSERT_TRUE(PumpUntilClosed());
  EXPECT_EQ(engine.RunningWorkers(), 0);
  EXPECT_EQ(machine.services.State(L"Spooler"), platform::kServiceRunning);
  EXPECT_FALSE(machine.spooler.DriverRecord(Model(0).driverName));
}

TEST_F(ClosingTest, CancelDuringAScanClosesWhenTheScanHasEnded) {
  NextPage();
  HoldWorkers();
  Click(L"btn_setup_next");  // the USB scan
  toolkit::headless::SetMessageBoxAnswer(IDYES);
  Click(L"btn_setup_cancel");
  toolkit::headless::PumpPending();
  ASSERT_TRUE(IsWindow(hwnd));
  ReleaseWorkers();
  EXPECT_TRUE(PumpUntilClosed());
  EXPECT_EQ(engine.RunningWorkers(), 0);
}

TEST_F(ClosingTest, TheQuestionGoesWhenTheRunEndsWhileItIsOpen) {
  StartRemovalRun();
  toolkit::headless::SetMessageBoxAnswer(IDYES);  // what the user would not get to click
  toolkit::headless::SetMessageBoxHook([this]() {
    ReleaseWorkers();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (engine.RunningWorkers() > 0 && std::chrono::steady_clock::now() < deadline) {
      if (toolkit::headless::PumpPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    toolkit::headless::PumpPending();
  });
  Click(L"closebtn");
  EXPECT_EQ(toolkit::headless::LastMessageBoxText(), Text(L"tip.closeafterrun"));
  EXPECT_EQ(engine.RunningWorkers(), 0);
  // Withdrawn, not answered: the window stays with the outcome, and the
  // next close needs no question.
  toolkit::headless::PumpPending();
  ASSERT_TRUE(IsWindow(hwnd));
  EXPECT_TRUE(Visible(L"hor_btn_h1"));
  Click(L"closebtn");
  EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
