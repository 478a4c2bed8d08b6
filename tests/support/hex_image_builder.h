// Intel HEX images for tests, made record by record: each record with its
// byte count and checksum, the extended address records, the end record.
// Addresses are the instrument's word addresses: a record of n words has 2n
// data bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/text_util.h"

namespace ostra::testing {

class HexImageBuilder {
 public:
  // ":" + count + address + type + data + checksum, upper-case hex.
  static std::string Record(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()),
                                  static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                                  type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    uint8_t sum = 0;
    std::string line = ":";
    for (uint8_t b : bytes) {
      line += FormatHex(b, 2);
      sum = static_cast<uint8_t>(sum + b);
    }
    return line + FormatHex(static_cast<uint8_t>(0x100 - sum), 2);
  }

  // An extended linear address record (type 04).
  HexImageBuilder& Upper(uint16_t upper) {
    upper_ = upper;
    lines.push_back(
        Record(0x04, 0, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)}));
    return *this;
  }
  // A data record of `words` at the word address `address`, under the upper
  // address in force (the caller writes the type 04 record).
  HexImageBuilder& Data(uint32_t address, const std::vector<uint16_t>& words) {
    std::vector<uint8_t> data;
    for (uint16_t w : words) {
      data.push_back(static_cast<uint8_t>(w >> 8));
      data.push_back(static_cast<uint8_t>(w));
      image[address++] = w;
    }
    records.push_back({static_cast<uint32_t>(address - words.size()), words});
    lines.push_back(Record(0x00, static_cast<uint16_t>(address - words.size()), data));
    return *this;
  }
  // `count` words from `address` in records of `per_record` words, with a
  // pattern that differs from word to word.
  HexImageBuilder& Block(uint32_t address, int count, int per_record = 16) {
    for (int i = 0; i < count; i += per_record) {
      std::vector<uint16_t> words;
      for (int k = i; k < count && k < i + per_record; ++k) words.push_back(Pattern(address + k));
      Data(address + static_cast<uint32_t>(i), words);
    }
    return *this;
  }
  HexImageBuilder& End() {
    lines.push_back(Record(0x01, 0, {}));
    return *this;
  }
  std::string Text(const std::string& line_end = "\r\n") const {
    std::string text;
    for (const std::string& line : lines) text += line + line_end;
    return text;
  }

  static uint16_t Pattern(uint32_t address) {
    return static_cast<uint16_t>((address * 40503u) ^ (address >> 3) ^ 0x5A5A);
  }

  // An image with a block of `words` words at the start of each sector in
  // `sectors` ("HGF"), each under its own type 04 record, and sector A's
  // code-start record 0040 0000 at 003F7FF6.
  static HexImageBuilder Standard(const std::string& sectors, int words = 64) {
    HexImageBuilder b;
    for (char letter : sectors) {
      const uint32_t base = 0x003E8000u + 0x2000u * static_cast<uint32_t>('H' - letter);
      b.Upper(static_cast<uint16_t>(base >> 16)).Block(base, words);
    }
    b.Upper(0x003F).Data(0x003F7FF6, {0x0040, 0x0000});
    return b.End();
  }

  std::vector<std::string> lines;
  std::map<uint32_t, uint16_t> image;  // word address -> word
  // The data records, in order: word address and words.
  struct DataRecord {
    uint32_t address;
    std::vector<uint16_t> words;
  };
  std::vector<DataRecord> records;

 private:
  uint16_t upper_ = 0;
};

}  // namespace ostra::testing
