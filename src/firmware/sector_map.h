// The instrument's flash sectors as one table: letter, base word address (as
// a number and as the text the splitter compares), sector file and the code
// that names the sector in the flash commands. Every sector holds 8192 words.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ostra {

struct FlashSector {
  char letter;                 // 'A'
  uint32_t base;               // 0x003F6000, a word address
  std::string_view base_text;  // "0x003F6000"
  std::string_view file_name;  // "sector_a.txt"
  uint8_t code;                // 7
};

inline constexpr uint32_t kFlashSectorWords = 0x2000;

// From the top of the flash down: A, B, ... H.
inline constexpr std::array<FlashSector, 8> kFlashSectors = {{
    {'A', 0x003F6000, "0x003F6000", "sector_a.txt", 7},
    {'B', 0x003F4000, "0x003F4000", "sector_b.txt", 6},
    {'C', 0x003F2000, "0x003F2000", "sector_c.txt", 5},
    {'D', 0x003F0000, "0x003F0000", "sector_d.txt", 4},
    {'E', 0x003EE000, "0x003EE000", "sector_e.txt", 3},
    {'F', 0x003EC000, "0x003EC000", "sector_f.txt", 2},
    {'G', 0x003EA000, "0x003EA000", "sector_g.txt", 1},
    {'H', 0x003E8000, "0x003E8000", "sector_h.txt", 0},
}};

// The lowest and one past the highest word address of the flash.
inline constexpr uint32_t kFlashFirstAddress = 0x003E8000;
inline constexpr uint32_t kFlashEndAddress = 0x003F8000;

// The sector of a letter ("A" to "H", upper case only).
const FlashSector* SectorByLetter(std::string_view letter);
const FlashSector* SectorByLetter(char letter);
// The sector that holds a word address, or nothing outside the flash.
const FlashSector* SectorOfAddress(uint32_t address);

}  // namespace ostra
