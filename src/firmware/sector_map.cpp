#include "firmware/sector_map.h"

namespace ostra {

const FlashSector* SectorByLetter(char letter) {
  for (const FlashSector& sector : kFlashSectors) {
    if (sector.letter == letter) return &sector;
  }
  return nullptr;
}

const FlashSector* SectorByLetter(std::string_view letter) {
  if (letter.size() != 1) return nullptr;
  return SectorByLetter(letter[0]);
}

const FlashSector* SectorOfAddress(uint32_t address) {
  for (const FlashSector& sector : kFlashSectors) {
    if (address >= sector.base && address - sector.base < kFlashSectorWords) return &sector;
  }
  return nullptr;
}

}  // namespace ostra
