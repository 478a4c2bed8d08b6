// Sector files: the reading rules, the read-back file, and the comparison of
// an image file with a read-back file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/text_util.h"
#include "firmware/sector_file.h"
#include "support/temp_dir.h"

namespace ostra {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(SectorFileReading, AddressThenWordsOfFourDigitsRoundedToTheNearestCount) {
  SectorLine line = ParseSectorLine("003F7FF600400000");
  EXPECT_EQ(line.address, 0x003F7FF6u);
  EXPECT_THAT(line.words, ElementsAre(0x0040, 0x0000));
  // (14 - 8) / 4 = 1.5 rounds to 2: the second word is what the line still holds.
  line = ParseSectorLine("003E8000ABCDEF");
  EXPECT_THAT(line.words, ElementsAre(0xABCD, 0xEF));
  // (18 - 8) / 4 = 2.5 rounds to the even 2.
  EXPECT_THAT(ParseSectorLine("003E80001111222233").words, ElementsAre(0x1111, 0x2222));
  // 3.25 rounds to 3; 3.75 to 4.
  EXPECT_THAT(ParseSectorLine("003E8000111122223333F").words, ElementsAre(0x1111, 0x2222, 0x3333));
  EXPECT_THAT(ParseSectorLine("003E8000111122223333FF").words,
              ElementsAre(0x1111, 0x2222, 0x3333, 0xFF));
  // Either case; a short line is its address only.
  EXPECT_THAT(ParseSectorLine("003e8000beef").words, ElementsAre(0xBEEF));
  line = ParseSectorLine("12AB");
  EXPECT_EQ(line.address, 0x12ABu);
  EXPECT_THAT(line.words, IsEmpty());
}

TEST(SectorFileReading, AnyLineEndEmptyLinesSkippedAndBadDigitsAConversionError) {
  for (const char* end : {"\r\n", "\n", "\r"}) {
    const std::string text = std::string("003E80000001") + end + end + "003E80010002" + end;
    const auto lines = ParseSectorFile(text);
    ASSERT_EQ(lines.size(), 2u) << end;
    EXPECT_EQ(lines[1].address, 0x003E8001u);
  }
  try {
    ParseSectorLine("003E8000000G");
    FAIL();
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'$000G' is not a valid integer value");
  }
  EXPECT_THROW(ParseSectorLine("003 8000"), ConversionError);
  EXPECT_THROW(ReadSectorFile("/nonexistent/sector_h.txt"), IoError);
}

TEST(ReadBackFile, FiveHundredAndTwelveLinesOfSeventyTwoCharacters) {
  TempDir dir;
  SectorWords words;
  for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>(i * 7);
  WriteReadBackFile(dir / "sector_e.txt", 0x003EE000, words);
  const std::string text = ReadFile(dir / "sector_e.txt");
  const std::vector<std::string_view> lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 512u);
  for (std::string_view line : lines) EXPECT_EQ(line.size(), 72u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 512);
  EXPECT_EQ(text.substr(0, 74),
            "003EE000000000070"
            "00E0015001C0023002A00310038003F0046004D0054005B00620069\r\n");
  EXPECT_EQ(lines[511].substr(0, 8), "003EFFF0");
  // Read by the reading rules, it gives back the words.
  SectorWords read{};
  for (const SectorLine& line : ParseSectorFile(text)) {
    for (size_t k = 0; k < line.words.size(); ++k)
      read[line.address - 0x003EE000 + k] = line.words[k];
  }
  EXPECT_EQ(read, words);
}

class CompareSectorFilesTest : public ::testing::Test {
 protected:
  CompareSectorFilesTest() {
    erased.fill(0xFFFF);
    for (int i = 0; i < 16; ++i) image_words.push_back(static_cast<uint16_t>(0x1000 + i));
    std::string line = "003E8000";
    for (uint16_t w : image_words) line += FormatHex(w, 4);
    WriteFile(dir / "sector_h.txt", line + "\r\n");
  }
  bool Compare() {
    return CompareSectorFiles(0x003E8000, 0x003EE000, dir / "sector_h.txt", dir / "sector_e.txt",
                              dir / "out.txt");
  }

  TempDir dir;
  SectorWords erased;
  std::vector<uint16_t> image_words;
};

TEST_F(CompareSectorFilesTest, SixteenImageWordsMatchAReadBackErasedElsewhere) {
  SectorWords read_back = erased;
  std::copy(image_words.begin(), image_words.end(), read_back.begin());
  WriteReadBackFile(dir / "sector_e.txt", 0x003EE000, read_back);
  EXPECT_TRUE(Compare());
  const std::string text = ReadFile(dir / "out.txt");
  const std::vector<std::string_view> listing = SplitLines(text);
  ASSERT_EQ(listing.size(), 8192u);
  EXPECT_EQ(listing[0], "0x1000  0x1000");
  EXPECT_EQ(listing[15], "0x100F  0x100F");
  EXPECT_EQ(listing[16], "0xFFFF  0xFFFF");
}

TEST_F(CompareSectorFilesTest, AnyDifferenceOrAWordThatCannotBePlacedIsAMismatch) {
  SectorWords read_back = erased;
  std::copy(image_words.begin(), image_words.end(), read_back.begin());
  read_back[8191] = 0x0000;  // a word the image leaves erased
  WriteReadBackFile(dir / "sector_e.txt", 0x003EE000, read_back);
  EXPECT_FALSE(Compare());
  EXPECT_EQ(SplitLines(ReadFile(dir / "out.txt"))[8191], "0xFFFF  0x0000");

  read_back[8191] = 0xFFFF;
  WriteReadBackFile(dir / "sector_e.txt", 0x003EE000, read_back);
  ASSERT_TRUE(Compare());
  // A line past the sector's end has no place in it.
  WriteFile(dir / "sector_h.txt", ReadFile(dir / "sector_h.txt") + "003EA000FFFF\r\n");
  EXPECT_FALSE(Compare());
  EXPECT_EQ(SplitLines(ReadFile(dir / "out.txt")).size(), 8192u);
}

}  // namespace
}  // namespace ostra
