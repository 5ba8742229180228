// The transfer trace: the line format, the cut of long dumps, switching by environment and
// by API, and the lines a link writes for a command exchange.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "link/transfer_trace.h"
#include "tests/link/fake_usb.h"
#include "tests/link/link_test_support.h"

namespace {

std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(TraceFormatTest, ShortTransferIsDumpedWholeAndErrorsShowNoBytes) {
  const std::uint8_t bytes[] = {0xA0, 0x01, 0xFF};
  EXPECT_EQ(TransferTrace::FormatBody(0, TraceDirection::Out, 0x01, 3, 3, bytes),
            "S1 OUT EP01 ask=3 got=3 A0 01 FF");
  EXPECT_EQ(TransferTrace::FormatBody(7, TraceDirection::In, 0x82, 512, -19, bytes),
            "S8 IN EP82 ask=512 err=-19");
  EXPECT_EQ(TransferTrace::FormatBody(2, TraceDirection::In, 0x82, 512, 2, bytes),
            "S3 IN EP82 ask=512 got=2 A0 01");
}

TEST(TraceFormatTest, LongTransferShowsFirstAndLast64Bytes) {
  std::vector<std::uint8_t> bytes(2000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i);
  const std::string line =
      TransferTrace::FormatBody(1, TraceDirection::Out, 1, 2000, 2000, bytes.data());
  EXPECT_EQ(line.rfind("S2 OUT EP01 ask=2000 got=2000 00 01 02", 0), 0u);
  EXPECT_NE(line.find(" 3F ... (1872 bytes) ... 90 "), std::string::npos) << line;  // 1936
  EXPECT_EQ(line.substr(line.size() - 6), " CE CF");                                // 1999 = 0x7CF
  const std::size_t bytesShown = static_cast<std::size_t>(
      std::count(line.begin(), line.end(), ' ') - 8);  // head fields and the cut marker
  EXPECT_EQ(bytesShown, 128u);
}

TEST(TraceSwitchTest, EnvironmentAndApi) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("link_trace_env_" + std::to_string(::getpid()) + ".trace");
  TraceSwitch traces;
  unsetenv(kTraceEnvironmentVariable);
  EXPECT_FALSE(traces.StartFromEnvironment());
  EXPECT_FALSE(traces.IsOn());
  setenv(kTraceEnvironmentVariable, path.c_str(), 1);
  EXPECT_TRUE(traces.StartFromEnvironment());
  unsetenv(kTraceEnvironmentVariable);
  ASSERT_TRUE(traces.IsOn());
  EXPECT_EQ(traces.Current()->Path(), path.string());
  traces.Stop();
  EXPECT_FALSE(traces.IsOn());
  EXPECT_FALSE(traces.Start("/nonexistent-folder/x.trace"));
  std::filesystem::remove(path);
}

TEST(TraceSwitchTest, LinkWritesOneLinePerTransferOnlyWhileOn) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("link_trace_link_" + std::to_string(::getpid()) + ".trace");
  FakeUsb usb(1);
  TestSystem system(usb);
  ZvUsb& link = system.Table.Link(0);
  ASSERT_TRUE(link.OpenDevice(usb.Unit(0)));
  usb.QueueReplyByte(0xA0);
  ASSERT_TRUE(link.SendCommand(link.MakeOrdinaryCommandPacket(1), nullptr, nullptr, 0, nullptr,
                               link.MakeCodeWord(0x56A9), nullptr, nullptr));
  ASSERT_TRUE(system.Table.Trace().Start(path.string()));
  usb.QueueReplyByte(0xA1);
  EXPECT_FALSE(link.SendCommand(link.MakeOrdinaryCommandPacket(1), nullptr, nullptr, 0, nullptr,
                                link.MakeCodeWord(0x56A9), nullptr, nullptr));
  system.Table.Trace().Stop();
  const auto lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find(" S1 OUT EP01 ask=1024 got=1024 A0 01 00 01 01 00"), std::string::npos)
      << lines[0];
  EXPECT_EQ(lines[0].find(" ... ("), std::string::npos);  // a command block is shown whole
  EXPECT_NE(lines[0].find(" 85 D8 34 01 57 6B 01 00"), std::string::npos);  // its stamp
  EXPECT_NE(lines[1].find(" S1 IN EP82 ask=512 got=512 A1 FF"), std::string::npos) << lines[1];
  EXPECT_EQ(lines[0][2], ':');  // hh:mm:ss.uuuuuu first
  std::filesystem::remove(path);
}

}  // namespace
