// SIGTERM, SIGINT and SIGHUP reach the user-interface thread as one close
// request.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <csignal>

#include "gui/qt_platform.h"
#include "gui/system_close.h"

namespace ostra {
namespace {

TEST(SystemCloseTest, ASignalBecomesOneCloseOnTheUserInterfaceThread) {
#ifndef _WIN32
  QtPlatform platform;
  int closes = 0;
  {
    SystemCloseWatcher watcher([&] { ++closes; });
    ASSERT_EQ(std::raise(SIGHUP), 0);  // the terminal closed: handled, the process goes on
    EXPECT_EQ(closes, 0);              // nothing runs inside the handler
    QElapsedTimer elapsed;
    elapsed.start();
    while (closes == 0 && elapsed.elapsed() < 3000) platform.WaitForEvents(100);
    EXPECT_EQ(closes, 1);
    // After the first request a second signal would end the program at once.
    struct sigaction current {};
    sigaction(SIGINT, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
    // ...but the SIGHUP that follows a session's SIGTERM does not cut the save short.
    sigaction(SIGHUP, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_IGN);
    ASSERT_EQ(std::raise(SIGHUP), 0);
  }
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, SIG_DFL);
#endif
}

}  // namespace
}  // namespace ostra
