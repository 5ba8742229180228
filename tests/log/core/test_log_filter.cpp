// The display filter: which lines each display mode shows.
#include <gtest/gtest.h>

#include "log/core/log_queue.h"

namespace {

TEST(LogFilter, ModeNoneShowsNothingNotEvenFailures) {
  EXPECT_FALSE(IsLogMessageShown(LogDisplay::None, LogColour::Red, 1));
  EXPECT_FALSE(IsLogMessageShown(LogDisplay::None, LogColour::Red, 0));
  EXPECT_FALSE(IsLogMessageShown(LogDisplay::None, LogColour::Green, 1));
}

TEST(LogFilter, ModeEssentialShowsRedOrEssentialLines) {
  EXPECT_TRUE(IsLogMessageShown(LogDisplay::Essential, LogColour::Red, 0));
  EXPECT_TRUE(IsLogMessageShown(LogDisplay::Essential, LogColour::Green, 1));
  EXPECT_TRUE(IsLogMessageShown(LogDisplay::Essential, LogColour::Black, 2));
  EXPECT_FALSE(IsLogMessageShown(LogDisplay::Essential, LogColour::Green, 0));
  EXPECT_FALSE(IsLogMessageShown(LogDisplay::Essential, LogColour::Orange, 0));
  // "Red" is exactly 0x0000FF: the blue start colour and near-reds are not failures.
  EXPECT_FALSE(IsLogMessageShown(LogDisplay::Essential, LogColour::Start, 0));
  EXPECT_FALSE(IsLogMessageShown(LogDisplay::Essential, 0x0000FE, 0));
}

TEST(LogFilter, ModeAllShowsEveryLineAndUnknownModesNone) {
  for (std::uint32_t colour :
       {LogColour::Red, LogColour::Green, LogColour::Start, LogColour::Orange, LogColour::Black}) {
    EXPECT_TRUE(IsLogMessageShown(LogDisplay::All, colour, 0));
    for (std::int32_t mode : {-1, 3, 255, 1000}) {
      EXPECT_FALSE(IsLogMessageShown(mode, colour, 1)) << mode;
    }
  }
}

}  // namespace
