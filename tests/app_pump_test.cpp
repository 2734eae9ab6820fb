// The message pump's pace and the progress bar's range.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/gauge.h>

#include "app_test_support.h"
#include "message_pump.h"
#include "ondavodlg.h"
#include "window_host.h"

namespace {

using std::chrono::milliseconds;

MessagePump::Clock::time_point g_now;
int g_dispatches = 0;

MessagePump::Clock::time_point FakeNow() {
  return g_now;
}
void CountDispatch() {
  ++g_dispatches;
}

TEST(MessagePumpTest, DispatchesAtOnceThenOncePerInterval) {
  g_now = MessagePump::Clock::time_point(std::chrono::hours(1));
  g_dispatches = 0;
  MessagePump pump(CountDispatch, FakeNow);
  pump.Pump();
  EXPECT_EQ(g_dispatches, 1);
  for (int frame = 0; frame < 1000; ++frame) pump.Pump();
  EXPECT_EQ(g_dispatches, 1);
  g_now += MessagePump::kInterval - milliseconds(1);
  pump.Pump();
  EXPECT_EQ(g_dispatches, 1);
  g_now += milliseconds(1);
  pump.Pump();
  EXPECT_EQ(g_dispatches, 2);
  pump.Restart();
  pump.Pump();
  EXPECT_EQ(g_dispatches, 3);
}

TEST(MessagePumpTest, TheRealPumpRunsQueuedWork) {
  bool ran = false;
  wxTheApp->CallAfter([&] { ran = true; });
  MessagePump pump;
  pump.Pump();
  EXPECT_TRUE(ran);
}

TEST(WindowHostTest, KeepsPositionsInTheBarsRange) {
  COndavoDlg window;
  auto* bar = wxDynamicCast(window.FindWindow(kIdDecodeProgress), wxGauge);
  WindowHost host(window, g_strDvrFile, bar);
  host.SetProgressPosition(-5);
  EXPECT_EQ(bar->GetValue(), 0);
  host.SetProgressPosition(42);
  EXPECT_EQ(bar->GetValue(), 42);
  host.SetProgressPosition(250);
  EXPECT_EQ(bar->GetValue(), 100);

  WindowHost no_bar(window, g_strPcmFile, nullptr);
  no_bar.SetProgressPosition(50);  // goes nowhere, and does not crash
}

}  // namespace
