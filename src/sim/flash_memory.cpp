#include "sim/flash_memory.h"

#include <algorithm>

namespace ostra {

namespace {

// The staging sector whose words CopyImage copies into each program sector:
// E (3) into H (0), D (4) into G (1), C (5) into F (2).
constexpr std::array<std::pair<uint8_t, uint8_t>, 3> kCopies = {{{3, 0}, {4, 1}, {5, 2}}};

uint16_t BigEndian16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

void PutBigEndian16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

}  // namespace

FlashMemory::FlashMemory() : words_(static_cast<size_t>(kSectorCount) * kSectorWords, 0xFFFF) {
  code_start_.fill(0xFFFF);
}

bool FlashMemory::IsFlashCommand(uint8_t code) {
  switch (code) {
    case opcode::kEraseSector:
    case opcode::kWriteSectorWords:
    case opcode::kReadSector:
    case opcode::kCopyImage:
    case opcode::kWriteCodeStart:
    case opcode::kReadCodeStart:
      return true;
    default:
      return false;
  }
}

std::vector<uint8_t> FlashMemory::Command(const uint8_t* frame) {
  const uint8_t length = frame[0];
  std::vector<uint8_t> reply;
  switch (frame[1]) {
    case opcode::kEraseSector:
      return {kReplyAck, Erase(frame[2])};
    case opcode::kWriteSectorWords: {
      std::vector<uint16_t> words;
      for (int i = 0; i < (length - 4) / 2; ++i) words.push_back(BigEndian16(frame + 5 + 2 * i));
      return {kReplyAck, Write(frame[2], BigEndian16(frame + 3), words)};
    }
    case opcode::kReadSector:
      if (frame[2] >= kSectorCount) return {kReplyUnexpectedData};
      reply.reserve(kSectorReplyBytes);
      for (uint16_t word : SectorWords(frame[2])) PutBigEndian16(reply, word);
      return reply;
    case opcode::kCopyImage:
      CopyImage();
      return {kReplyAck};
    case opcode::kWriteCodeStart:
      for (size_t i = 0; i < code_start_.size(); ++i)
        code_start_[i] = BigEndian16(frame + 2 + 2 * i);
      return {kReplyAck};
    case opcode::kReadCodeStart:
      // 128 words; the code start sits in words 118..127.
      for (int i = 0; i < kCodeStartReadWords - kCodeStartWords; ++i) PutBigEndian16(reply, 0xFFFF);
      for (uint16_t word : code_start_) PutBigEndian16(reply, word);
      return reply;
    default:
      return {kReplyUnexpectedData};
  }
}

uint8_t FlashMemory::Erase(uint8_t code) {
  if (code >= kSectorCount) return kNoSector;
  if (auto status = TakeFault(FlashOperation::Erase, code, 0)) return *status;
  std::fill_n(SectorData(code), kSectorWords, 0xFFFF);
  return kSuccess;
}

uint8_t FlashMemory::Write(uint8_t code, uint16_t offset, const std::vector<uint16_t>& words) {
  if (code >= kSectorCount) return kNoSector;
  if (offset + words.size() > static_cast<size_t>(kSectorWords)) return kAddressInvalid;
  if (auto status = TakeFault(FlashOperation::Write, code, offset)) return *status;
  uint16_t* sector = SectorData(code);
  // Programming only clears bits: a word must be erased where a 1 is wanted.
  for (size_t i = 0; i < words.size(); ++i) {
    if ((words[i] & ~sector[offset + i]) != 0) return kZeroBitError;
  }
  std::copy(words.begin(), words.end(), sector + offset);
  return kSuccess;
}

void FlashMemory::CopyImage() {
  ++copies_;
  for (const auto& [staging, program] : kCopies) {
    std::copy_n(SectorData(staging), kSectorWords, SectorData(program));
  }
}

FlashMemory::Sector FlashMemory::SectorWords(uint8_t code) const {
  Sector words;
  words.fill(0xFFFF);
  if (code >= kSectorCount) return words;
  std::copy_n(words_.begin() + static_cast<std::ptrdiff_t>(code) * kSectorWords, kSectorWords,
              words.begin());
  return words;
}

void FlashMemory::SetSectorWords(uint8_t code, const Sector& words) {
  if (code < kSectorCount) std::copy(words.begin(), words.end(), SectorData(code));
}

void FlashMemory::InjectFault(const FlashFault& fault) {
  if (fault.status != kSuccess && fault.count != 0) faults_.push_back(fault);
}

std::optional<uint8_t> FlashMemory::TakeFault(FlashOperation operation, uint8_t code,
                                              uint16_t offset) {
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    if (it->operation != operation) continue;
    if (it->sector && *it->sector != code) continue;
    if (operation == FlashOperation::Write && it->offset && *it->offset != offset) continue;
    const uint8_t status = it->status;
    if (it->count > 0 && --it->count == 0) faults_.erase(it);
    return status;
  }
  return std::nullopt;
}

void FlashMemory::SetStatusForAll(FlashOperation operation, uint8_t status) {
  std::erase_if(faults_, [&](const FlashFault& f) {
    return f.operation == operation && !f.sector && !f.offset && f.count < 0;
  });
  InjectFault({operation, status, std::nullopt, std::nullopt, -1});
}

void FlashMemory::SetEraseStatus(uint8_t status) { SetStatusForAll(FlashOperation::Erase, status); }
void FlashMemory::SetWriteStatus(uint8_t status) { SetStatusForAll(FlashOperation::Write, status); }

}  // namespace ostra
