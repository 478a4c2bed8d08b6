// Cuts a HEX image into one text file per flash sector. Each data record
// becomes one line: the word address of its first word as 8 upper-case hex
// digits, followed directly by the record's data digits as they stand, 4 a
// word ("003F7FF600400000"). Lines end with CR LF.
//
// The splitter keeps the program's long-standing rules, which the image must
// suit (ValidateHexImage refuses images that do not):
// - a sector file is chosen by the first data record after each extended
//   address record (type 04), by comparing the record's address text
//   ("0x" + upper address digits + record address digits) with the sectors'
//   base texts, character by character; hex digits compare by their value,
//   so lower-case digits sort as their upper-case twins;
// - the file stays open, and takes every following data record whatever its
//   address, until the next type 04 record;
// - a data record before any type 04 record has the address text "0x" + its
//   4 digits only, and so sorts as text, not as a number;
// - an address not below sector A's base goes to sector A, however high;
//   below sector H's base, to no file;
// - opening a sector's file again starts it anew.
// No checksum is verified and no length compared here.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace ostra {

// Removes the eight sector files that an earlier upgrade left in `directory`;
// the first one that is still there afterwards, or nothing when all are gone.
std::optional<std::filesystem::path> RemoveSectorFiles(const std::filesystem::path& directory);

// Writes the sector files of the image in `content` into `directory`. The
// eight sector files left there by an earlier upgrade are removed first, so a
// sector the image does not hold has no file. Raises IoError when a file
// cannot be written or an old one removed, ConversionError when a record's
// byte count is not hex.
void SplitHexText(std::string_view content, const std::filesystem::path& directory);

// Reads the HEX file (IoError when it cannot be read) and splits it.
void SplitHexImage(const std::filesystem::path& hex_file, const std::filesystem::path& directory);

// Compares two address texts character by character, hex digits by value:
// negative, zero or positive. A text that is the start of the other sorts
// first.
int CompareAddressText(std::string_view a, std::string_view b);

}  // namespace ostra
