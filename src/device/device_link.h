// The one connection to the instrument: the driver handle, the transmit and
// receive buffers, the sticky driver status, device selection and opening,
// and every command of the protocol.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "base/constants.h"
#include "base/platform.h"
#include "device/d2xx.h"
#include "device/protocol.h"
#include "device/transport.h"

namespace ostra {

// What a flash command got back, decoded while the connection was locked.
struct FlashReply {
  uint32_t count = 0;  // bytes read
  uint8_t first = 0;   // byte 0: the acknowledgement (0x55) or a refusal (0xAA, 0xAB)
  uint8_t status = 0;  // byte 1 of a two-byte reply: the flash status (0 = success)
};

class DeviceLink {
 public:
  // The most devices OpenInstrument lists: the driver's own list never holds
  // more than a few dozen.
  static constexpr uint32_t kMaxSearchedDevices = 64;

  DeviceLink(Transport& transport, Platform& platform);

  // --- USB transport -------------------------------------------------------
  // Finds the instrument (first description containing "VECTOR" in any case,
  // else the last readable serial) among the first kMaxSearchedDevices,
  // opens and configures it. A successful open clears LastDriverStatus.
  // Returns description + " [" + serial + "]", or "NotOpen".
  // Open, close and reset hold the connection lock: none of them touches the
  // handle while another thread reads or writes through it.
  std::string OpenInstrument();
  FT_STATUS CloseInstrument();
  FT_STATUS ResetInstrument();
  FT_STATUS GetFTDeviceCount();
  FT_STATUS GetFTDeviceSerialNo(uint32_t index);
  FT_STATUS GetFTDeviceDescription(uint32_t index);
  FT_STATUS Open_USB_Device_By_Serial_Number(const std::string& serial);
  FT_STATUS PurgeTx();
  FT_STATUS PurgeRx();
  FT_STATUS SetTimeouts(uint32_t read_ms, uint32_t write_ms);
  // From the transmit buffer; bytes written.
  uint32_t WriteBlock(uint32_t n);
  // Into `into` (at most kRxBufferSize bytes are asked for); bytes read.
  uint32_t ReadBlock(std::span<uint8_t> into);

  void ReportDriverStatus(FT_STATUS status);
  uint32_t LastDriverStatus() const;
  static std::string DriverStatusText(uint32_t status);
  // "USB Communication error detected! Error String: " and the text of the
  // remembered driver status.
  std::string UsbErrorMessage() const;

  uint32_t DeviceCount() const { return device_count_; }
  const std::string& LastListedText() const { return last_listed_; }

  // Serialises the connection: a whole Transact, a whole
  // start-sweep-and-read, an open, a close and a reset hold it. They lock it
  // themselves; StartSweep and ReadBlock do NOT (std::mutex is not
  // recursive). Messages are shown after the lock is released, so a modal box
  // never blocks the other thread's access to the instrument.
  std::mutex& ConnectionMutex() { return mutex_; }

  // --- Command protocol ----------------------------------------------------
  // Sends the frame as one 50-byte block built in TxBuffer and reads
  // `expected` bytes into RxBuffer; shows the protocol's messages; returns the
  // count read.
  uint32_t Transact(const CommandFrame& frame, uint32_t expected);

  // Purges both queues and writes 02 05 01 06; true when all 50 bytes went
  // out. Nothing is read. Does not lock: the caller holds ConnectionMutex
  // from here until it has read the sample stream.
  bool StartSweep();
  // StartSweep and the read of the sample stream into `into` (a buffer of
  // the caller's: replies to commands never land there), under the lock.
  // The stream is read even when the start did not go out whole.
  struct SweepReading {
    bool written = false;
    uint32_t received = 0;
  };
  SweepReading StartSweepAndRead(std::span<uint8_t> into);

  // Fills `words` when exactly 200 bytes arrived ("Unexpected data length"
  // otherwise, words left as they were). Returns the count read. The reply
  // of every command is decoded while the connection is still locked.
  uint32_t ReadIdentity(InstrumentIdentity& words);
  uint32_t ProgramSweep(const SweepProgram& program);
  uint32_t SetPreamp(bool on);
  uint32_t SetRxGain(uint8_t code);
  // Flash commands: the count read and the reply's bytes, taken while the
  // connection is locked. A letter other than "A".."H", or a write of 0 or
  // more than 16 words, sends nothing and returns a count of 0.
  FlashReply EraseSector(const std::string& letter);
  FlashReply WriteSectorWords(const std::string& letter, uint16_t offset,
                              const std::vector<uint16_t>& words);
  uint32_t ReadSector(const std::string& letter, std::array<uint16_t, 8192>& words);
  FlashReply CopyImage();
  FlashReply WriteCodeStart(const std::array<uint32_t, 10>& words);
  uint32_t ReadCodeStart(std::array<uint32_t, 128>& words);

  const std::array<std::string, 41>& FlashStatusNames() const { return flash_status_names_; }
  // The name of a flash status byte; above 40 "Undefined Error Code " + byte + "received".
  std::string FlashStatusName(uint32_t status) const;

 private:
  FT_STATUS ResetUnlocked();
  // OpenInstrument under the lock; its messages are shown after it.
  std::string OpenLocked(std::vector<std::string>& messages);
  void FillFlashStatusNames();
  // One command exchange; the caller holds mutex_. The messages to show are
  // appended to `messages` (shown by ShowMessages once the lock is gone).
  uint32_t Exchange(const CommandFrame& frame, uint32_t expected,
                    std::vector<std::string>& messages);
  // Exchange with the 3000 ms read time-out of the flash commands, restored
  // to 600/600 afterwards; the caller holds mutex_.
  uint32_t ExchangeWithLongRead(const CommandFrame& frame, uint32_t expected,
                                std::vector<std::string>& messages);
  void ShowMessages(const std::vector<std::string>& messages);
  // One command under the connection lock: the exchange, then `decode`
  // (still under the lock) reads the reply and may add messages; the
  // messages are shown once the lock is released.
  using ReplyDecoder = std::function<void(uint32_t count, std::vector<std::string>& messages)>;
  uint32_t LockedCommand(const CommandFrame& frame, uint32_t expected, bool long_read,
                         const ReplyDecoder& decode);
  // A flash command whose short reply is kept as a FlashReply.
  FlashReply FlashCommand(const CommandFrame& frame, uint32_t expected, bool long_read);
  std::string ListedText() const;

  Transport& transport_;
  Platform& platform_;
  FT_HANDLE handle_ = nullptr;
  // FT_ListDevices may write up to 64 characters; texts are cut at 49.
  std::array<char, 64> device_list_buffer_{};
  uint32_t device_count_ = 0;
  std::string last_listed_;
  std::array<uint8_t, kFrameSize> tx_buffer_{};
  std::vector<uint8_t> rx_buffer_ = std::vector<uint8_t>(kRxBufferSize);
  std::array<std::string, 41> flash_status_names_;
  std::mutex mutex_;
  mutable std::mutex status_mutex_;
  uint32_t last_driver_status_ = 0;
};

}  // namespace ostra
