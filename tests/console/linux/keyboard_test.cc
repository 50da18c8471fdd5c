// A keyboard read that fails with EIO, as on a terminal that hung up (and on a pseudo-terminal's
// master once its other side is closed), is a hang-up: not an I/O error with its report.
#include "console/linux/keyboard.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

namespace qv {
namespace {

TEST(TtyKeyboard, AReadThatFailsWithEioIsAHangUp) {
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  TtyKeyboard keyboard;
  keyboard.open(master);
  close(slave);
  keyboard.readWaiting();
  EXPECT_TRUE(keyboard.ended() && keyboard.hungUp());
  EXPECT_EQ(keyboard.failure(), 0);
  close(master);
}

}  // namespace
}  // namespace qv
