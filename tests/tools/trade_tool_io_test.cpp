// The trade tools' command loop once its input has ended: each pass still waits its few
// milliseconds (on the fake clock here), through a pending "wait" and through a close
// that takes its time, instead of spinning.
#include "trade_tool_io.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/test_support.h"

namespace {

TEST(CommandLoop, AnEndedInputStillWaitsItsTimeEveryPass) {
  testsupport::ScopedFakeClock clock;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string commands = "wait 1000\n";
  ASSERT_EQ(write(fds[1], commands.data(), commands.size()), static_cast<ssize_t>(commands.size()));
  close(fds[1]);  // the input ends with the wait still pending

  // A spinning loop never moves the fake clock: a bound on the passes ends it.
  constexpr int kSpinning = 100000;
  constexpr std::int64_t kCloseMs = 500;  // the close waits this long for its end
  int passes = 0;
  std::int64_t closedAt = -1;
  const std::int64_t start = plat::Tick();
  tradejson::RunCommands(
      [&](std::int64_t) { ++passes; },
      [&] { return passes >= kSpinning || (closedAt >= 0 && plat::Tick() >= closedAt + kCloseMs); },
      [&] { closedAt = plat::Tick(); }, [](const std::string&, const std::string&) {}, fds[0]);
  close(fds[0]);

  ASSERT_GE(closedAt, 0) << "the loop spun without closing";
  EXPECT_GE(closedAt - start, 1000);  // the close waited for the wait
  // Every pass but the ones that read the input slept: 1500 ms of 5 ms passes.
  EXPECT_LE(passes, 1500 / 5 + 3);
  EXPECT_GE(clock.clock.TotalSlept(), 1500 - 5);
}

}  // namespace
