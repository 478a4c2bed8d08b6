// The remote interface's reading of program messages, parameters and replies,
// and its error queue.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "remote/remote_commands.h"
#include "remote/scpi_error.h"
#include "remote/scpi_parser.h"
#include "remote/scpi_values.h"

namespace ostra {
namespace {

std::string Path(const ParsedCommand& c) {
  std::string out;
  for (const HeaderNode& n : c.nodes) {
    out += ":" + n.mnemonic;
    if (n.has_suffix) out += std::to_string(n.suffix);
  }
  return out + (c.query ? "?" : "");
}

int ErrorOf(std::string_view param, ScpiUnit unit) {
  try {
    ParseNumber(param, unit, 0, 1);
  } catch (const ScpiError& e) {
    return e.Code();
  }
  return 0;
}

TEST(RemoteParser, ChainedCommandsKeepThePathAndFaultsStayInTheirCommand) {
  const auto cs = ParseProgramMessage(
      "sens1:freq:star 20 MHz;STOP 5e7;*OPC?;:Calc:Par1:Def 'S11';SENS::X;FREQ:STAR? ;");
  ASSERT_EQ(cs.size(), 6u);
  EXPECT_EQ(Path(cs[0]), ":SENS1:FREQ:STAR");
  EXPECT_EQ(cs[0].params, std::vector<std::string>{"20 MHz"});
  EXPECT_EQ(Path(cs[1]), ":SENS1:FREQ:STOP");  // the path of the previous command
  EXPECT_TRUE(cs[2].common && cs[2].query);
  EXPECT_EQ(Path(cs[3]), ":CALC:PAR1:DEF");  // a leading colon starts at the root
  EXPECT_EQ(cs[3].params, std::vector<std::string>{"'S11'"});
  EXPECT_EQ(cs[4].error, -102);  // an empty node
  EXPECT_EQ(Path(cs[5]), ":CALC:PAR1:FREQ:STAR?");

  EXPECT_EQ(ParseProgramMessage("FREQ:STAR 1\x01")[0].error, -101);
  EXPECT_EQ(ParseProgramMessage("MMEM:STOR:SNP \"a;b")[0].error, -151);
  EXPECT_EQ(ParseProgramMessage("FORM REAL,,64")[0].error, -102);
  EXPECT_TRUE(ParseProgramMessage("   ").empty());
  // A semicolon inside a string does not end the command.
  const auto quoted = ParseProgramMessage("MMEM:STOR:SNP \"a;b\";*CLS");
  ASSERT_EQ(quoted.size(), 2u);
  EXPECT_EQ(quoted[0].params[0], "\"a;b\"");
}

TEST(RemoteParser, TheTableTakesShortAndLongFormsOptionalNodesAndSuffixRanges) {
  const CommandTable table;
  auto find = [&](const char* text) { return table.Find(ParseProgramMessage(text).at(0)); };
  EXPECT_NE(find("FREQ:STAR 1").row, nullptr);
  EXPECT_NE(find("sense:frequency:start?").row, nullptr);
  EXPECT_EQ(find("SENS2:FREQ:STAR 1").error, -114);
  EXPECT_EQ(find("FREQ:STARTX 1").error, -113);
  EXPECT_EQ(find("*IDN").error, -113);  // only a query
  const auto marker = find("CALC1:MARK3:X?");
  ASSERT_NE(marker.row, nullptr);
  EXPECT_EQ(marker.index, 3);
  EXPECT_EQ(find("CALC:MARK5:X?").error, -114);
  EXPECT_EQ(find("CALC:MARK0 ON").error, -114);
}

TEST(RemoteParser, NumbersCarryTheirUnitsAndRepliesReadBackExactly) {
  EXPECT_DOUBLE_EQ(ParseNumber("20MHZ", ScpiUnit::Hertz, 0, 1), 20e6);
  EXPECT_DOUBLE_EQ(ParseNumber("20 mhz", ScpiUnit::Hertz, 0, 1), 20e6);
  EXPECT_DOUBLE_EQ(ParseNumber("1.5GHz", ScpiUnit::Hertz, 0, 1), 1.5e9);
  EXPECT_DOUBLE_EQ(ParseNumber("500 kHz", ScpiUnit::Hertz, 0, 1), 5e5);
  EXPECT_DOUBLE_EQ(ParseNumber("20M", ScpiUnit::Hertz, 0, 1), 0.02);  // M alone is milli
  EXPECT_DOUBLE_EQ(ParseNumber("20MA", ScpiUnit::Hertz, 0, 1), 20e6);
  EXPECT_DOUBLE_EQ(ParseNumber("+2.5e1", ScpiUnit::None, 0, 1), 25);
  EXPECT_DOUBLE_EQ(ParseNumber("-20 dBm", ScpiUnit::Dbm, 0, 1), -20);
  EXPECT_DOUBLE_EQ(ParseNumber("max", ScpiUnit::None, 0, 500), 500);
  EXPECT_EQ(ErrorOf("ON", ScpiUnit::Hertz), -104);
  EXPECT_EQ(ErrorOf("20 dBm", ScpiUnit::Hertz), -131);
  EXPECT_EQ(ErrorOf("5 HZ", ScpiUnit::None), -131);
  EXPECT_EQ(ErrorOf("1e999", ScpiUnit::None), -120);
  EXPECT_TRUE(ParseBool("on") && !ParseBool("0"));
  EXPECT_EQ(ParseChoice("mlog", {"MLINear", "MLOGarithmic"}), 1u);
  EXPECT_EQ(ParseString("\"it\"\"s\""), "it\"s");

  EXPECT_EQ(FormatNumberList(std::vector<double>{20e6, 0.1, -3}), "20000000,0.1,-3");
  const std::string block = FormatBlock(std::vector<double>{1.0}, false, false);
  ASSERT_EQ(block.size(), 11u);
  EXPECT_EQ(block.substr(0, 3), "#18");
  EXPECT_EQ(static_cast<unsigned char>(block[3]), 0x3F);  // big-endian 1.0
  const std::string swapped = FormatBlock(std::vector<double>{1.0, 2.0}, true, true);
  EXPECT_EQ(swapped.substr(0, 3), "#18");
  float f = 0;
  std::memcpy(&f, swapped.data() + 7, 4);
  EXPECT_EQ(f, 2.0f);  // little-endian on this machine
}

TEST(RemoteStatus, TheQueueKeepsTheOldestAndReportsItsOverflow) {
  ScpiStatus status;
  EXPECT_EQ(status.Pop(), "+0,\"No error\"");
  for (int i = 0; i < 20; ++i) status.Push(-113);
  status.Push(-222);
  EXPECT_EQ(status.Stb() & 4, 4);
  for (size_t i = 0; i + 1 < ScpiStatus::kQueueLength; ++i) {
    EXPECT_EQ(status.Pop(), "-113,\"Undefined header\"");
  }
  EXPECT_EQ(status.Pop(), "-350,\"Queue overflow\"");
  EXPECT_EQ(status.Pop(), "+0,\"No error\"");
  EXPECT_EQ(status.TakeEsr(), kEsrCommandError | kEsrExecutionError | kEsrDeviceError);
  EXPECT_EQ(status.TakeEsr(), 0);
  status.SetEse(kEsrExecutionError);
  status.Push(-230, "say \"no\"");
  EXPECT_EQ(status.Stb() & 32, 32);
  EXPECT_EQ(status.Pop(), "-230,\"Data corrupt or stale; say \"\"no\"\"\"");
}

}  // namespace
}  // namespace ostra
