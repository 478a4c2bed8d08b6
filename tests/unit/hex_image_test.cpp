// The firmware image: the check of the whole HEX image before anything is
// erased, and its splitting into sector files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "base/errors.h"
#include "device/protocol.h"
#include "firmware/hex_image.h"
#include "firmware/hex_split.h"
#include "firmware/sector_file.h"
#include "firmware/sector_map.h"
#include "support/hex_image_builder.h"
#include "support/temp_dir.h"

namespace ostra {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::HexImageBuilder;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// --- The sector map --------------------------------------------------------------

TEST(SectorMap, LettersBasesFilesAndTheCodesOfTheFlashCommands) {
  ASSERT_EQ(kFlashSectors.size(), 8u);
  for (const FlashSector& s : kFlashSectors) {
    EXPECT_EQ(SectorCode(std::string(1, s.letter)), s.code);
    EXPECT_EQ(s.base_text, "0x" + FormatHex(s.base, 8));
    EXPECT_EQ(s.file_name, std::string("sector_") + char(s.letter - 'A' + 'a') + ".txt");
    EXPECT_EQ(SectorOfAddress(s.base), &s);
    EXPECT_EQ(SectorOfAddress(s.base + 0x1FFF), &s);
  }
  EXPECT_EQ(SectorByLetter("H")->base, 0x003E8000u);
  EXPECT_EQ(SectorByLetter("A")->base, 0x003F6000u);
  EXPECT_EQ(SectorByLetter("h"), nullptr);
  EXPECT_EQ(SectorByLetter("AB"), nullptr);
  EXPECT_EQ(SectorOfAddress(0x003E7FFF), nullptr);
  EXPECT_EQ(SectorOfAddress(0x003F8000), nullptr);
}

// --- The check of the whole image ---------------------------------------------------

TEST(HexImageCheck, AcceptsASoundImageWithAnyLineEndAndEitherCase) {
  const HexImageBuilder image = HexImageBuilder::Standard("HGF", 200);
  for (const char* end : {"\r\n", "\n", "\r"}) {
    EXPECT_EQ(ValidateHexImage(image.Text(end)), std::nullopt) << end;
    EXPECT_EQ(ValidateHexImage(Lower(image.Text(end))), std::nullopt) << end;
  }
  // Blank lines and a Ctrl-Z after the end record are no records.
  EXPECT_EQ(ValidateHexImage(image.Text() + "\r\n  \r\n\x1A"), std::nullopt);
  // Start address records (03, 05) are harmless.
  HexImageBuilder with_start = HexImageBuilder::Standard("H");
  with_start.lines.insert(with_start.lines.end() - 1,
                          HexImageBuilder::Record(0x05, 0, {0x00, 0x3F, 0x7F, 0xF6}));
  EXPECT_EQ(ValidateHexImage(with_start.Text()), std::nullopt);
}

TEST(HexImageCheck, ConsecutiveRecordsOfSixteenWordsDoNotOverlap) {
  // Word addresses: 32 bytes at 003E8000, the next record at 003E8010.
  HexImageBuilder b;
  b.Upper(0x003E).Block(0x003E8000, 64, 16).Upper(0x003F).Data(0x003F7FF6, {0x40, 0}).End();
  EXPECT_EQ(ValidateHexImage(b.Text()), std::nullopt);
  // A word given twice is refused.
  HexImageBuilder twice;
  twice.Upper(0x003E).Block(0x003E8000, 16).Data(0x003E800F, {1, 2});
  twice.Upper(0x003F).Data(0x003F7FF6, {0x40, 0}).End();
  const auto problem = ValidateHexImage(twice.Text());
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->line, 3u);
  EXPECT_EQ(problem->what, "the word at 0x003E800F is given twice");
}

struct Fault {
  const char* name;
  std::function<void(std::vector<std::string>&)> spoil;
  size_t line;
  const char* what;
};

// Standard("H") lines: 1 :02000004003E.., 2..5 data of H, 6 :02000004003F..,
// 7 code start, 8 end.
const Fault kFaults[] = {
    {"bad checksum", [](auto& l) { l[2].back() = l[2].back() == '0' ? '1' : '0'; }, 3,
     "the checksum is "},
    {"truncated file",
     [](auto& l) {
       l.resize(4);
       l[3].resize(20);
     },
     4, "the byte count 20 calls for 75 characters, the line has 20"},
    {"missing end record", [](auto& l) { l.pop_back(); }, 7,
     "the image ends without an end-of-file record (type 01)"},
    {"not a hex digit", [](auto& l) { l[1][12] = 'G'; }, 2,
     "character 13 (\"G\") is not a hex digit"},
    {"no colon", [](auto& l) { l[1][0] = ';'; }, 2, "the line does not begin with \":\""},
    {"empty line", [](auto& l) { l.insert(l.begin() + 3, ""); }, 4, "the line is empty"},
    {"trailing blank", [](auto& l) { l[1] += " "; }, 2,
     "character 76 (a blank) is not a hex digit"},
    {"too short", [](auto& l) { l[1] = ":0000"; }, 2,
     "the record is 5 characters long; the shortest record has 11"},
    {"segment address",
     [](auto& l) {
       l[0] = HexImageBuilder::Record(0x02, 0, {0x10, 0});
     },
     1, "extended segment address records (type 02) have no place"},
    {"unknown type", [](auto& l) { l[1] = HexImageBuilder::Record(0x07, 0, {}); }, 2,
     "record type 07 is not a HEX record type"},
    {"odd byte count",
     [](auto& l) {
       l[1] = HexImageBuilder::Record(0, 0x8000, {1, 2, 3});
     },
     2, "a data record of 3 bytes does not hold whole 16-bit words"},
    {"empty data record", [](auto& l) { l[1] = HexImageBuilder::Record(0, 0x8000, {}); }, 2,
     "a data record without data"},
    {"record after the end", [](auto& l) { l.push_back(l[1]); }, 9,
     "a record follows the end-of-file record of line 8"},
    {"data before any 04", [](auto& l) { l.erase(l.begin()); }, 1,
     "a data record before the first extended address record (type 04)"},
    {"outside the flash",
     [](auto& l) {
       l[0] = HexImageBuilder::Record(4, 0, {0x00, 0x40});
     },
     2, "the data at 0x00408000 lies outside the flash sectors A to H (0x003E8000 to 0x003F7FFF)"},
    {"past the end of a sector",
     [](auto& l) { l[1] = HexImageBuilder::Record(0, 0x9FF8, std::vector<uint8_t>(32, 0)); }, 2,
     "the data from 0x003E9FF8 runs past the end of sector H"},
    {"no sector H", [](auto& l) { l.erase(l.begin(), l.begin() + 5); }, 3,
     "the image holds no data for sector H"},
    {"no code start", [](auto& l) { l.erase(l.begin() + 6); }, 7,
     "the image holds no code-start record (two words at 0x003F7FF6)"},
    // Data the upgrade would not install is refused, not dropped.
    {"data in sector C",
     [](auto& l) {
       l[0] = HexImageBuilder::Record(4, 0, {0x00, 0x3F});
       l[1] = HexImageBuilder::Record(0, 0x2000, {0, 1});
     },
     2, "the data at 0x003F2000 lies in sector C, which the upgrade does not install"},
    {"more of sector A",
     [](auto& l) {
       l.insert(l.begin() + 6, HexImageBuilder::Record(0, 0x6000, {0, 1}));
     },
     7, "the data at 0x003F6000 lies in sector A, where only the two code-start words"},
    {"a longer code-start record",
     [](auto& l) {
       l[6] = HexImageBuilder::Record(0, 0x7FF6, {0, 0x40, 0, 0, 0x12, 0x34});
     },
     7, "the data at 0x003F7FF6 lies in sector A"},
};

TEST(HexImageCheck, NamesTheLineAndWhatIsWrong) {
  for (const Fault& fault : kFaults) {
    std::vector<std::string> lines = HexImageBuilder::Standard("H").lines;
    ASSERT_EQ(lines.size(), 8u);
    fault.spoil(lines);
    HexImageBuilder spoilt;
    spoilt.lines = lines;
    const auto problem = ValidateHexImage(spoilt.Text());
    ASSERT_TRUE(problem) << fault.name;
    EXPECT_EQ(problem->line, fault.line) << fault.name;
    EXPECT_THAT(problem->what, HasSubstr(fault.what)) << fault.name;
  }
}

TEST(HexImageCheck, EachSectorNeedsItsOwnExtendedAddressRecord) {
  // H and G under one type 04 record: the splitter would put G's data into
  // sector H's file.
  HexImageBuilder shared;
  shared.Upper(0x003E).Block(0x003E8000, 16).Block(0x003EA000, 16);
  shared.Upper(0x003F).Data(0x003F7FF6, {0x40, 0}).End();
  auto problem = ValidateHexImage(shared.Text());
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->line, 3u);
  EXPECT_EQ(problem->what,
            "the data at 0x003EA000 belongs to sector G but would go into sector H's file: "
            "sector G needs its own extended address record (type 04)");
  EXPECT_EQ(problem->Text(), "Firmware image not accepted, line 3: " + problem->what);

  // Sector H's data under two type 04 records: the second would start the
  // file anew.
  HexImageBuilder split;
  split.Upper(0x003E).Block(0x003E8000, 16).Upper(0x003E).Block(0x003E8100, 16);
  split.Upper(0x003F).Data(0x003F7FF6, {0x40, 0}).End();
  problem = ValidateHexImage(split.Text());
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->line, 4u);
  EXPECT_THAT(problem->what, HasSubstr("sector H's data is split over two extended address "
                                       "records (lines 1 and 3)"));
}

TEST(HexImageCheck, RecordsAreCheckedByTheirBytes) {
  std::string problem;
  const auto record = ParseHexRecord(":04001000DEADbeefB4", problem);
  ASSERT_TRUE(record) << problem;
  EXPECT_EQ(record->count, 4);
  EXPECT_EQ(record->address, 0x0010);
  EXPECT_EQ(record->type, 0);
  EXPECT_THAT(record->data, ElementsAre(0xDE, 0xAD, 0xBE, 0xEF));
  EXPECT_FALSE(ParseHexRecord(":04001000DEADBEEFB5", problem));
  EXPECT_EQ(problem, "the checksum is B5, the record's bytes call for B4");
  EXPECT_FALSE(ParseHexRecord(":0400100\x01", problem));
  EXPECT_EQ(problem, "character 9 (character code 01) is not a hex digit");
}

TEST(HexImageCheck, RefusesAFileTooLargeForAnImage) {
  const auto problem = ValidateHexImage(std::string(kMaxHexImageBytes + 1, ':'));
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->line, 0u);
  EXPECT_THAT(problem->Text(), HasSubstr("Firmware image not accepted: the file is"));
}

// --- The splitter -------------------------------------------------------------------

class SplitHexImageTest : public ::testing::Test {
 protected:
  std::vector<std::string> Split(const std::string& text) {
    WriteFile(dir / "image.hex", text);
    SplitHexImage(dir / "image.hex", dir.path());
    std::vector<std::string> written;
    for (const FlashSector& s : kFlashSectors) {
      if (std::filesystem::exists(dir / std::string(s.file_name))) {
        written.emplace_back(s.file_name);
      }
    }
    return written;
  }
  std::string File(std::string_view name) { return ReadFile(dir / std::string(name)); }

  TempDir dir;
};

TEST_F(SplitHexImageTest, UpperAddresses003EAnd003FGiveSectorsHAndAOnly) {
  HexImageBuilder b;
  b.Upper(0x003E).Data(0x003E8000, {0x1234, 0xABCD});
  b.Upper(0x003F).Data(0x003F6000, {0x0001}).Data(0x003F7FF6, {0x0040, 0x0000}).End();
  EXPECT_THAT(Split(b.Text()), ElementsAre("sector_a.txt", "sector_h.txt"));
  EXPECT_EQ(File("sector_h.txt"), "003E80001234ABCD\r\n");
  // The example line: count 04, address 7FF6, data 0040 0000 under 003F.
  EXPECT_EQ(File("sector_a.txt"), "003F60000001\r\n003F7FF600400000\r\n");
}

TEST_F(SplitHexImageTest, WithoutATypeFourRecordBetweenSectorsHAndGBothGoToSectorH) {
  // The splitter's own rule, which the image check refuses.
  HexImageBuilder b;
  b.Upper(0x003E).Data(0x003E8000, {0x1111}).Data(0x003EA000, {0x2222});
  b.Upper(0x003F).Data(0x003F7FF6, {0x0040, 0x0000}).End();
  EXPECT_THAT(Split(b.Text()), ElementsAre("sector_a.txt", "sector_h.txt"));
  EXPECT_EQ(File("sector_h.txt"), "003E80001111\r\n003EA0002222\r\n");
  EXPECT_TRUE(ValidateHexImage(b.Text()));
}

TEST_F(SplitHexImageTest, ADataRecordBeforeAnyTypeFourRecordSortsAsText) {
  // "0x0000" sorts below "0x003E8000" and is dropped; "0x7FF6" sorts above
  // "0x003F6000" and goes to sector A.
  HexImageBuilder b;
  b.Data(0x0000, {0xAAAA}).Data(0x7FF6, {0x0040, 0x0000}).End();
  EXPECT_THAT(Split(b.Text()), ElementsAre("sector_a.txt"));
  EXPECT_EQ(File("sector_a.txt"), "7FF600400000\r\n");
  // An address however high goes to sector A.
  HexImageBuilder high;
  high.Upper(0x0040).Data(0x00401000, {0xBBBB}).End();
  EXPECT_THAT(Split(high.Text()), ElementsAre("sector_a.txt"));
  EXPECT_EQ(File("sector_a.txt"), "00401000BBBB\r\n");
}

TEST_F(SplitHexImageTest, ALowerCaseImageLandsInTheSameSectorsAsItsUpperCaseTwin) {
  const HexImageBuilder b = HexImageBuilder::Standard("HGF", 40);
  const std::vector<std::string> upper = Split(b.Text());
  std::map<std::string, std::vector<SectorLine>> upper_lines;
  for (const std::string& f : upper) upper_lines[f] = ParseSectorFile(File(f));

  EXPECT_EQ(Split(Lower(b.Text())), upper);
  for (const std::string& f : upper) {
    const std::vector<SectorLine> lower = ParseSectorFile(File(f));
    ASSERT_EQ(lower.size(), upper_lines[f].size());
    for (size_t i = 0; i < lower.size(); ++i) {
      EXPECT_EQ(lower[i].address, upper_lines[f][i].address);
      EXPECT_EQ(lower[i].words, upper_lines[f][i].words);
    }
  }
  // Addresses are written in upper case, data digits as they stand.
  EXPECT_EQ(File("sector_a.txt"), "003F7FF600400000\r\n");
  EXPECT_THAT(File("sector_h.txt"), HasSubstr("003E8010"));
}

TEST_F(SplitHexImageTest, SectorFilesOfAnEarlierImageAreRemoved) {
  Split(HexImageBuilder::Standard("HGF").Text());
  EXPECT_THAT(Split(HexImageBuilder::Standard("H").Text()),
              ElementsAre("sector_a.txt", "sector_h.txt"));
}

TEST_F(SplitHexImageTest, AnotherTypeFourRecordStartsTheSectorsFileAnew) {
  HexImageBuilder b;
  b.Upper(0x003E).Data(0x003E8000, {0x1111}).Upper(0x003E).Data(0x003E8100, {0x2222}).End();
  Split(b.Text());
  EXPECT_EQ(File("sector_h.txt"), "003E81002222\r\n");
}

TEST_F(SplitHexImageTest, AByteCountThatIsNotHexIsAConversionError) {
  WriteFile(dir / "image.hex", ":0Z000000\r\n");
  EXPECT_THROW(SplitHexImage(dir / "image.hex", dir.path()), ConversionError);
  EXPECT_THROW(SplitHexImage(dir / "missing.hex", dir.path()), IoError);
}

TEST(CompareAddressText, HexDigitsCompareByValueAndAShorterStartSortsFirst) {
  EXPECT_EQ(CompareAddressText("0x003F6000", "0x003F6000"), 0);
  EXPECT_EQ(CompareAddressText("0x003f6000", "0x003F6000"), 0);
  EXPECT_LT(CompareAddressText("0x003E9FFF", "0x003EA000"), 0);
  EXPECT_LT(CompareAddressText("0x003e9fff", "0x003EA000"), 0);
  EXPECT_GT(CompareAddressText("0x7FF6", "0x003F6000"), 0);
  EXPECT_LT(CompareAddressText("0x0000", "0x003E8000"), 0);
  EXPECT_LT(CompareAddressText("0x003E", "0x003E8000"), 0);
}

}  // namespace
}  // namespace ostra
