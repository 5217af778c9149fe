// The message writer: CUPS line form and the length limit.
#include <gtest/gtest.h>

#include <string>

#include "messages.h"
#include "test_support.h"

using quillet_test::Capture;

namespace {

TEST(Messages, WritesPrefixedLine) {
  EXPECT_EQ(Capture(stderr, [] { LogMessage("INFO", "Printing page %d.", 3); }),
            "INFO: Printing page 3.\n");
}

// The text with its terminating zero must fit into 2048 bytes; a longer one
// is dropped whole rather than cut.
TEST(Messages, OverlongTextIsNotWritten) {
  const std::string fits(kMaxMessageBytes - 1, 'x');
  const std::string tooLong(kMaxMessageBytes, 'x');
  EXPECT_EQ(Capture(stderr, [&] { LogMessage("ERROR", "%s", fits.c_str()); }),
            "ERROR: " + fits + "\n");
  EXPECT_EQ(Capture(stderr, [&] { LogMessage("ERROR", "%s", tooLong.c_str()); }), "");
}

}  // namespace
