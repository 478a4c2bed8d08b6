#include "device/device_link.h"

#include <algorithm>
#include <cstring>

#include "base/text_util.h"

namespace ostra {

namespace {

constexpr size_t kMaxListedText = 49;

constexpr uint32_t BigEndian16(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }
constexpr uint32_t BigEndian32(const uint8_t* p) {
  return (BigEndian16(p) << 16) | BigEndian16(p + 2);
}

}  // namespace

DeviceLink::DeviceLink(Transport& transport, Platform& platform)
    : transport_(transport), platform_(platform) {
  // Filled again by every OpenInstrument; filled here too so that a status
  // name asked for before the first open is never empty.
  FillFlashStatusNames();
}

// --- USB transport -----------------------------------------------------------

void DeviceLink::ReportDriverStatus(FT_STATUS status) {
  if (status == FT_OK) return;
  std::lock_guard lock(status_mutex_);
  last_driver_status_ = status;
}

uint32_t DeviceLink::LastDriverStatus() const {
  std::lock_guard lock(status_mutex_);
  return last_driver_status_;
}

std::string DeviceLink::UsbErrorMessage() const {
  return std::string(kUsbErrorText) + DriverStatusText(LastDriverStatus());
}

std::string DeviceLink::DriverStatusText(uint32_t status) {
  switch (status) {
    case 1:
      return "\"Invalid Handle\"";
    case 2:
      return "\"Device Not Found\"";
    case 3:
      return "\"Device Not Opened\"";
    case 4:
      return "\"General IO Error\"";
    case 5:
      return "\"Insufficient Resources\"";
    case 6:
      return "\"Invalid Parameter\"";
    default:
      return "";
  }
}

std::string DeviceLink::ListedText() const {
  // Byte 49 is forced to NUL; the text stops at the first NUL.
  const char* text = device_list_buffer_.data();
  return std::string(text, strnlen(text, kMaxListedText));
}

FT_STATUS DeviceLink::GetFTDeviceCount() {
  DWORD count = 0;
  const FT_STATUS status = transport_.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY);
  device_count_ = status == FT_OK ? count : 0;
  ReportDriverStatus(status);
  return status;
}

FT_STATUS DeviceLink::GetFTDeviceSerialNo(uint32_t index) {
  device_list_buffer_.fill(0);
  const FT_STATUS status = transport_.FT_ListDevices(
      reinterpret_cast<void*>(static_cast<uintptr_t>(index)), device_list_buffer_.data(),
      FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER);
  ReportDriverStatus(status);
  if (status == FT_OK) last_listed_ = ListedText();
  return status;
}

FT_STATUS DeviceLink::GetFTDeviceDescription(uint32_t index) {
  device_list_buffer_.fill(0);
  const FT_STATUS status = transport_.FT_ListDevices(
      reinterpret_cast<void*>(static_cast<uintptr_t>(index)), device_list_buffer_.data(),
      FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION);
  ReportDriverStatus(status);
  if (status == FT_OK) last_listed_ = ListedText();
  return status;
}

FT_STATUS DeviceLink::Open_USB_Device_By_Serial_Number(const std::string& serial) {
  device_list_buffer_.fill(0);
  std::memcpy(device_list_buffer_.data(), serial.data(), std::min(serial.size(), kMaxListedText));
  const FT_STATUS status =
      transport_.FT_OpenEx(device_list_buffer_.data(), FT_OPEN_BY_SERIAL_NUMBER, &handle_);
  ReportDriverStatus(status);
  return status;
}

FT_STATUS DeviceLink::CloseInstrument() {
  std::lock_guard lock(mutex_);
  const FT_STATUS status = transport_.FT_Close(handle_);
  ReportDriverStatus(status);
  return status;
}

FT_STATUS DeviceLink::ResetInstrument() {
  std::lock_guard lock(mutex_);
  return ResetUnlocked();
}

FT_STATUS DeviceLink::ResetUnlocked() {
  const FT_STATUS status = transport_.FT_ResetDevice(handle_);
  ReportDriverStatus(status);
  return status;
}

FT_STATUS DeviceLink::PurgeTx() {
  const FT_STATUS status = transport_.FT_Purge(handle_, FT_PURGE_TX);
  ReportDriverStatus(status);
  return status;
}

FT_STATUS DeviceLink::PurgeRx() {
  const FT_STATUS status = transport_.FT_Purge(handle_, FT_PURGE_RX);
  ReportDriverStatus(status);
  return status;
}

FT_STATUS DeviceLink::SetTimeouts(uint32_t read_ms, uint32_t write_ms) {
  const FT_STATUS status = transport_.FT_SetTimeouts(handle_, read_ms, write_ms);
  ReportDriverStatus(status);
  return status;
}

uint32_t DeviceLink::WriteBlock(uint32_t n) {
  n = std::min<uint32_t>(n, kFrameSize);
  DWORD written = 0;
  const FT_STATUS status = transport_.FT_Write(handle_, tx_buffer_.data(), n, &written);
  ReportDriverStatus(status);
  return std::min<uint32_t>(written, n);
}

uint32_t DeviceLink::ReadBlock(std::span<uint8_t> into) {
  const auto n = static_cast<uint32_t>(std::min<size_t>(into.size(), kRxBufferSize));
  DWORD read = 0;
  const FT_STATUS status = transport_.FT_Read(handle_, into.data(), n, &read);
  ReportDriverStatus(status);
  return std::min<uint32_t>(read, n);
}

std::string DeviceLink::OpenInstrument() {
  std::vector<std::string> messages;
  std::string result;
  {
    std::lock_guard lock(mutex_);
    result = OpenLocked(messages);
  }
  ShowMessages(messages);
  return result;
}

std::string DeviceLink::OpenLocked(std::vector<std::string>& messages) {
  {
    std::lock_guard lock(status_mutex_);
    last_driver_status_ = 0;
  }
  std::string serial;
  std::string description;
  GetFTDeviceCount();
  // A driver that reports an absurd count must not hold the start for
  // minutes: the devices past the cap are treated as absent.
  const uint32_t searched = std::min(device_count_, kMaxSearchedDevices);
  for (uint32_t index = 0; index < searched; ++index) {
    if (GetFTDeviceSerialNo(index) == FT_OK) serial = last_listed_;
    GetFTDeviceDescription(index);
    description = last_listed_;
    if (ToUpper(description).find("VECTOR") != std::string::npos) break;
  }

  std::string result = "NotOpen";
  if (Open_USB_Device_By_Serial_Number(serial) == FT_OK) {
    // The instrument is open: a failure met while listing other devices (an
    // unrelated FTDI device whose serial number cannot be read) is no
    // failure of the instrument's connection.
    {
      std::lock_guard lock(status_mutex_);
      last_driver_status_ = 0;
    }
    ResetUnlocked();
    SetTimeouts(kUsbReadTimeoutMs, kUsbReadTimeoutMs);
    // These two are reported once the lock is released and do not stop the open.
    const FT_STATUS latency = transport_.FT_SetLatencyTimer(handle_, 5);
    if (latency != FT_OK) {
      messages.push_back("FT_SetLatencyTimer setup failed: " + std::to_string(latency));
    }
    const FT_STATUS usb = transport_.FT_SetUSBParameters(handle_, kRxBufferSize, 0);
    if (usb != FT_OK) {
      messages.push_back("FT_SetUSBParameters setup failed: " + std::to_string(usb));
    }
    result = description + " [" + serial + "]";
  }
  FillFlashStatusNames();
  return result;
}

// --- Command protocol --------------------------------------------------------

uint32_t DeviceLink::Exchange(const CommandFrame& frame, uint32_t expected,
                              std::vector<std::string>& messages) {
  const uint8_t length = frame.Length();
  if (length == 0 || length > kMaxFrameLength) return 0;  // no checksum would fit: send nothing

  PurgeTx();
  PurgeRx();
  // Only L and bytes 1..L are copied; the rest of the block keeps what earlier
  // frames left there.
  std::copy_n(frame.bytes.begin(), length + 1, tx_buffer_.begin());
  tx_buffer_[length + 1] = FrameChecksum(tx_buffer_.data());

  if (WriteBlock(kFrameSize) < static_cast<uint32_t>(kFrameSize)) {
    messages.push_back("USB Device Write TimeOut.");
  }
  const uint32_t n =
      ReadBlock(std::span(rx_buffer_).first(std::min<size_t>(expected, rx_buffer_.size())));
  if (n != expected) messages.push_back("Received data do not match with what is expected");
  if (n == 0) messages.push_back("Did not return any data!");
  if (n == 1) {
    if (rx_buffer_[0] == kReplyChecksumError) messages.push_back("CHECKSUM error!");
    if (rx_buffer_[0] == kReplyUnexpectedData) messages.push_back("UNEXPECTED_DATA error!");
  }
  return n;
}

uint32_t DeviceLink::ExchangeWithLongRead(const CommandFrame& frame, uint32_t expected,
                                          std::vector<std::string>& messages) {
  struct RestoreTimeouts {
    DeviceLink& link;
    ~RestoreTimeouts() { link.SetTimeouts(kUsbReadTimeoutMs, kUsbReadTimeoutMs); }
  };
  SetTimeouts(kFlashReadTimeoutMs, kUsbReadTimeoutMs);
  RestoreTimeouts restore{*this};
  return Exchange(frame, expected, messages);
}

void DeviceLink::ShowMessages(const std::vector<std::string>& messages) {
  for (const auto& text : messages) platform_.ShowMessage(text);
}

uint32_t DeviceLink::LockedCommand(const CommandFrame& frame, uint32_t expected, bool long_read,
                                   const ReplyDecoder& decode) {
  std::vector<std::string> messages;
  uint32_t n = 0;
  {
    std::lock_guard lock(mutex_);
    n = long_read ? ExchangeWithLongRead(frame, expected, messages)
                  : Exchange(frame, expected, messages);
    if (decode) decode(n, messages);
  }
  ShowMessages(messages);
  return n;
}

uint32_t DeviceLink::Transact(const CommandFrame& frame, uint32_t expected) {
  return LockedCommand(frame, expected, false, nullptr);
}

bool DeviceLink::StartSweep() {
  PurgeTx();
  PurgeRx();
  tx_buffer_[0] = 0x02;
  tx_buffer_[1] = opcode::kStartSweep;
  tx_buffer_[2] = 0x01;
  tx_buffer_[3] = 0x06;
  return WriteBlock(kFrameSize) == static_cast<uint32_t>(kFrameSize);
}

DeviceLink::SweepReading DeviceLink::StartSweepAndRead(std::span<uint8_t> into) {
  std::lock_guard lock(mutex_);
  SweepReading reading;
  reading.written = StartSweep();
  reading.received = ReadBlock(into);
  return reading;
}

uint32_t DeviceLink::ReadIdentity(InstrumentIdentity& words) {
  return LockedCommand(CommandFrame(opcode::kReadIdentity), kIdentityReplyBytes, false,
                       [&](uint32_t n, std::vector<std::string>& messages) {
                         if (n != kIdentityReplyBytes) {
                           messages.push_back("Unexpected data length");
                           return;
                         }
                         for (size_t i = 0; i < words.size(); ++i) {
                           words[i] = BigEndian32(&rx_buffer_[i * 4]);
                         }
                       });
}

uint32_t DeviceLink::ProgramSweep(const SweepProgram& program) {
  return Transact(ProgramSweepFrame(program), 1);
}

uint32_t DeviceLink::SetPreamp(bool on) {
  CommandFrame frame(opcode::kSetPreamp);
  frame.Add8(on ? 1 : 0);
  return Transact(frame, 1);
}

uint32_t DeviceLink::SetRxGain(uint8_t code) {
  CommandFrame frame(opcode::kSetRxGain);
  frame.Add8(code);
  return Transact(frame, 1);
}

FlashReply DeviceLink::FlashCommand(const CommandFrame& frame, uint32_t expected, bool long_read) {
  FlashReply reply;
  reply.count =
      LockedCommand(frame, expected, long_read, [&](uint32_t n, std::vector<std::string>&) {
        if (n >= 1) reply.first = rx_buffer_[0];
        if (n >= 2) reply.status = rx_buffer_[1];
      });
  return reply;
}

FlashReply DeviceLink::EraseSector(const std::string& letter) {
  const auto code = SectorCode(letter);
  if (!code) return {};
  CommandFrame frame(opcode::kEraseSector);
  frame.Add8(*code);
  return FlashCommand(frame, 2, true);
}

FlashReply DeviceLink::WriteSectorWords(const std::string& letter, uint16_t offset,
                                        const std::vector<uint16_t>& words) {
  const auto code = SectorCode(letter);
  // A frame holds 1 to 16 words; anything else is refused before it is sent.
  if (!code || words.empty() || words.size() > static_cast<size_t>(kMaxWriteWords)) return {};
  CommandFrame frame(opcode::kWriteSectorWords);
  frame.Add8(*code);
  frame.Add16(offset);
  for (uint16_t word : words) frame.Add16(word);
  return FlashCommand(frame, 2, true);
}

uint32_t DeviceLink::ReadSector(const std::string& letter, std::array<uint16_t, 8192>& words) {
  const auto code = SectorCode(letter);
  if (!code) return 0;
  CommandFrame frame(opcode::kReadSector);
  frame.Add8(*code);
  return LockedCommand(
      frame, kSectorReplyBytes, false, [&](uint32_t n, std::vector<std::string>& messages) {
        if (n != kSectorReplyBytes) {
          messages.push_back(
              "Data received do not match with what is expected. Received:" + std::to_string(n) +
              " ; Expected:" + std::to_string(kSectorReplyBytes));
          return;
        }
        for (size_t i = 0; i < words.size(); ++i) {
          words[i] = static_cast<uint16_t>(BigEndian16(&rx_buffer_[i * 2]));
        }
      });
}

FlashReply DeviceLink::CopyImage() {
  return FlashCommand(CommandFrame(opcode::kCopyImage), 1, true);
}

FlashReply DeviceLink::WriteCodeStart(const std::array<uint32_t, 10>& words) {
  CommandFrame frame(opcode::kWriteCodeStart);
  for (uint32_t word : words) frame.Add16(static_cast<uint16_t>(word));
  return FlashCommand(frame, 1, false);
}

uint32_t DeviceLink::ReadCodeStart(std::array<uint32_t, 128>& words) {
  return LockedCommand(CommandFrame(opcode::kReadCodeStart), kCodeStartReplyBytes, false,
                       [&](uint32_t n, std::vector<std::string>& messages) {
                         if (n != kCodeStartReplyBytes) {
                           messages.push_back("Unexpected data length");
                           return;
                         }
                         for (size_t i = 0; i < words.size(); ++i) {
                           words[i] = BigEndian16(&rx_buffer_[i * 2]);
                         }
                       });
}

// --- Flash status names ------------------------------------------------------

void DeviceLink::FillFlashStatusNames() {
  for (size_t i = 0; i < flash_status_names_.size(); ++i) {
    flash_status_names_[i] = "Undefined Error Code " + std::to_string(i) + "received";
  }
  static constexpr std::pair<int, const char*> kNamed[] = {
      {0, "STATUS_SUCCESS"},
      {10, "STATUS_FAIL_CSM_LOCKED"},
      {11, "STATUS_FAIL_REVID_INVALID"},
      {12, "STATUS_FAIL_ADDR_INVALID"},
      {13, "STATUS_FAIL_INCORRECT_PARTID"},
      {14, "STATUS_FAIL_API_SILICON_MISMATCH"},
      {20, "STATUS_FAIL_NO_SECTOR_SPECIFIED"},
      {21, "STATUS_FAIL_PRECONDITION"},
      {22, "STATUS_FAIL_ERASE"},
      {23, "STATUS_FAIL_COMPACT"},
      {24, "STATUS_FAIL_PRECOMPACT"},
      {30, "STATUS_FAIL_PROGRAM"},
      {31, "STATUS_FAIL_ZERO_BIT_ERROR"},
      {40, "STATUS_FAIL_VERIFY"},
  };
  for (const auto& [index, name] : kNamed) flash_status_names_[index] = name;
}

std::string DeviceLink::FlashStatusName(uint32_t status) const {
  if (status < flash_status_names_.size()) return flash_status_names_[status];
  return "Undefined Error Code " + std::to_string(status) + "received";
}

}  // namespace ostra
