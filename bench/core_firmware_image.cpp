// The firmware image work that runs before anything is sent to the
// instrument: the check of a whole HEX image (three full sectors and the code
// start, 1538 records), and the reading and writing of a 512-line sector file.
#include <benchmark/benchmark.h>

#include <string>

#include "base/text_util.h"
#include "firmware/hex_image.h"
#include "firmware/sector_file.h"

namespace {

std::string Record(uint8_t type, uint16_t address, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()),
                                static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                                type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  uint8_t sum = 0;
  std::string line = ":";
  for (uint8_t b : bytes) {
    line += ostra::FormatHex(b, 2);
    sum = static_cast<uint8_t>(sum + b);
  }
  return line + ostra::FormatHex(static_cast<uint8_t>(0x100 - sum), 2) + "\r\n";
}

// Sectors H, G and F full (512 records of 16 words each), and the code start.
std::string FullImage() {
  std::string text;
  for (uint32_t base : {0x003E8000u, 0x003EA000u, 0x003EC000u}) {
    text += Record(4, 0, {0x00, 0x3E});
    for (uint32_t i = 0; i < 512; ++i) {
      std::vector<uint8_t> data;
      for (uint32_t k = 0; k < 32; ++k) data.push_back(static_cast<uint8_t>(i * 7 + k));
      text += Record(0, static_cast<uint16_t>(base + 16 * i), data);
    }
  }
  text += Record(4, 0, {0x00, 0x3F}) + Record(0, 0x7FF6, {0, 0x40, 0, 0}) + Record(1, 0, {});
  return text;
}

void BM_ValidateFullImage(benchmark::State& state) {
  const std::string image = FullImage();
  for (auto _ : state) benchmark::DoNotOptimize(ostra::ValidateHexImage(image));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
}
BENCHMARK(BM_ValidateFullImage);

void BM_ReadBackFileWriteAndRead(benchmark::State& state) {
  ostra::SectorWords words;
  for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>(i * 13);
  for (auto _ : state) {
    const std::string text = ostra::ReadBackText(0x003EE000, words);
    benchmark::DoNotOptimize(ostra::ParseSectorFile(text));
  }
}
BENCHMARK(BM_ReadBackFileWriteAndRead);

}  // namespace
