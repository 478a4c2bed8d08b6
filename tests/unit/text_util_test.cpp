#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/text_util.h"

#include <cmath>
#include <cstdint>

namespace ostra {
namespace {

TEST(TextUtil, WholeNumbers) {
  EXPECT_EQ(StrToInt("201"), 201);
  EXPECT_EQ(StrToInt(" -42"), -42);
  EXPECT_EQ(StrToInt("+7"), 7);
  for (const char* bad : {"", "-", "1.5", "12a", "0x10", "99999999999999999999"}) {
    EXPECT_THROW(StrToInt(bad), ConversionError) << bad;
  }
  try {
    StrToInt("abc");
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
  }
}

TEST(TextUtil, DecimalNumbers) {
  EXPECT_DOUBLE_EQ(StrToFloat("-19.995"), -19.995);
  EXPECT_DOUBLE_EQ(StrToFloat("0,5"), 0.5);
  EXPECT_DOUBLE_EQ(StrToFloat("1e6"), 1e6);
  EXPECT_DOUBLE_EQ(StrToFloat("12."), 12.0);
  for (const char* bad : {"", "-", "1.2.3", "1-", "nan", "inf", "0x1p3", "1e999"}) {
    EXPECT_THROW(StrToFloat(bad), ConversionError) << bad;
  }
  try {
    StrToFloat("1..");
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'1..' is not a valid floating point value");
  }
}

TEST(TextUtil, RoundingIsHalfToEven) {
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(3.5), 4);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(1500000.5), 1500000);
  EXPECT_EQ(RoundHalfEven(62.2296), 62);
  // Absurd settings never overflow the conversion.
  EXPECT_EQ(RoundHalfEven(1e300), INT64_MAX);
  EXPECT_EQ(RoundHalfEven(-1e300), INT64_MIN);
  EXPECT_EQ(RoundHalfEven(std::nan("")), 0);
}

TEST(TextUtil, Formats) {
  EXPECT_EQ(FormatFixed(0.5, 3), "0.500");
  EXPECT_EQ(FormatFixed(-0.0004, 3), "-0.000");
  EXPECT_EQ(FormatFixed(20.0, 3), "20.000");
  EXPECT_EQ(FormatGeneral(30), "30");
  EXPECT_EQ(FormatGeneral(0.2), "0.2");
  EXPECT_EQ(FormatGeneral(20000000), "20000000");
  // Found by fuzzing: 15 digits of the largest double read back as too large.
  EXPECT_DOUBLE_EQ(StrToFloat(FormatGeneral(1.7976931348623157e308)), 1.7976931348623157e308);
  EXPECT_EQ(FormatGeneral(-1.7976931348623157e308), "-1.7976931348623157e+308");
  EXPECT_EQ(FormatHex(0x0A3D70A4, 8), "0A3D70A4");
  EXPECT_EQ(FormatHex(0x195, 4), "0195");
  EXPECT_EQ(FormatPadded(7, 2), "07");
  EXPECT_EQ(FormatPadded(123, 2), "123");
}

TEST(TextUtil, FieldsAreSplitOnAnyRunOfBlanks) {
  const auto fields = SplitFields("  20000000  1.500\t-0.250 \r");
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[0], "20000000");
  EXPECT_EQ(fields[1], "1.500");
  EXPECT_EQ(fields[2], "-0.250");
}

TEST(SplitLines, EveryLineEndReadsTheSame) {
  using ::testing::ElementsAre;
  EXPECT_THAT(SplitLines("a\r\nb\r\n"), ElementsAre("a", "b"));
  EXPECT_THAT(SplitLines("a\nb"), ElementsAre("a", "b"));
  EXPECT_THAT(SplitLines("a\rb\r"), ElementsAre("a", "b"));
  EXPECT_THAT(SplitLines("a\r\rb\n\n"), ElementsAre("a", "", "b", ""));
  EXPECT_TRUE(SplitLines("").empty());
}

}  // namespace
}  // namespace ostra
