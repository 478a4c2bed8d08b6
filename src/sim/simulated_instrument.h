// The simulated instrument: the instrument's side of the USB link at the level
// of the D2XX calls. It answers the 50-byte command frames (checksum checked
// byte for byte; 0x55, 0xAA and 0xAB replies; the reply lengths of the
// protocol), keeps the sweep program and the receiver settings, and answers
// StartSweep with the sample stream of the programmed sweep, computed from a
// device under test seen through the detector model, with noise and 12-bit
// quantisation. It keeps the flash (eight sectors of 8192 words) and the
// identity, and every fault the program must survive can be injected.
//
// It is used from two threads (commands from the user-interface thread,
// start-sweep and reads from the acquisition thread): its state is guarded by
// its own mutex, which is never held while a read waits for data.
#pragma once

#include <array>
#include <chrono>
#include <complex>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "device/protocol.h"
#include "device/transport.h"
#include "sim/detector_model.h"
#include "sim/dut_model.h"
#include "sim/flash_memory.h"

namespace ostra {

// One FTDI device as FT_ListDevices shows it.
struct ListedDevice {
  std::string description;
  std::string serial;
  bool serial_readable = true;       // FT_ListDevices of its serial fails when false
  bool description_readable = true;  // likewise for its description
};

// What the simulator has seen, for tests and diagnostics.
struct SimulatorCounters {
  uint64_t frames_received = 0;    // complete 50-byte blocks
  uint64_t checksum_errors = 0;    // answered 0xAA
  uint64_t unexpected_frames = 0;  // answered 0xAB
  uint64_t start_sweeps = 0;
  uint64_t purges_rx = 0;
  uint64_t purges_tx = 0;
  uint64_t resets = 0;
  uint64_t open_attempts = 0;
  uint64_t opens = 0;
  uint64_t closes = 0;
  uint64_t copy_images = 0;
  uint32_t read_timeout_ms = 0;  // as last set with FT_SetTimeouts
  uint32_t write_timeout_ms = 0;
  uint8_t latency_ms = 16;
  uint32_t usb_in_transfer = 4096;
  uint32_t usb_out_transfer = 4096;
  std::optional<SweepProgram> last_program;  // the last ProgramSweep, decoded
  uint8_t rx_gain_code = 0;                  // in force: from the last SetRxGain or ProgramSweep
  bool preamp = false;                       // likewise from SetPreamp or ProgramSweep
  bool open = false;
  std::string opened_serial;      // the device now or last opened
  std::string last_open_request;  // the serial number FT_OpenEx was last given
};

class SimulatedInstrument : public Transport {
 public:
  using Complex = std::complex<double>;
  using Frame = std::array<uint8_t, kFrameSize>;

  static constexpr const char* kDescription = "OSTRA VECTOR NETWORK ANALYSER";
  static constexpr const char* kSerial = "OS000417";
  static constexpr uint32_t kSerialNumber = 417;
  static constexpr uint32_t kFirmwareRevision = 0x0102;
  static constexpr uint32_t kHardwareRevision = (7u << 16) | 'A';  // "Ostra07A"
  static constexpr uint32_t kManufactureDate = 0x150612;           // 15/06/12
  // The most the instrument queues for one acquisition (more than the
  // program can ever ask for).
  static constexpr size_t kMaxStreamBytes = 262144;
  static constexpr double kDefaultNoiseVolts = 0.0015;

  // One instrument on the bus, real-time timing, the series RLC connected,
  // seeded noise of kDefaultNoiseVolts, erased flash.
  SimulatedInstrument();
  ~SimulatedInstrument() override;
  SimulatedInstrument(const SimulatedInstrument&) = delete;
  SimulatedInstrument& operator=(const SimulatedInstrument&) = delete;

  // --- D2XX ----------------------------------------------------------------
  FT_STATUS FT_ListDevices(void* arg1, void* arg2, DWORD flags) override;
  FT_STATUS FT_OpenEx(void* arg1, DWORD flags, FT_HANDLE* handle) override;
  FT_STATUS FT_Close(FT_HANDLE handle) override;
  FT_STATUS FT_ResetDevice(FT_HANDLE handle) override;
  FT_STATUS FT_Purge(FT_HANDLE handle, ULONG mask) override;
  FT_STATUS FT_SetTimeouts(FT_HANDLE handle, ULONG read_timeout, ULONG write_timeout) override;
  FT_STATUS FT_Write(FT_HANDLE handle, void* buffer, DWORD bytes_to_write,
                     DWORD* bytes_written) override;
  FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes_to_read,
                    DWORD* bytes_returned) override;
  FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timer) override;
  FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, ULONG in_transfer_size,
                                ULONG out_transfer_size) override;

  // --- Device under test, detector, noise, timing --------------------------
  void SetDut(Dut dut);  // any thread, takes effect at the next StartSweep
  Dut GetDut() const;
  const DetectorModel& Detector() const { return detector_; }
  // Gaussian noise added to every I and Q reading (0 for exact tests).
  void SetNoise(double volts_rms);
  void SetSeed(uint64_t seed);
  // Real time (default): the stream is delivered AcquisitionTime after the
  // StartSweep and FT_Read waits for it up to its read time-out. Instant:
  // delivered at once, and a read with nothing pending returns at once.
  void SetRealTime(bool real_time);
  // For measuring the program alone: an acquisition of the same program as
  // the one before repeats its samples instead of making them again, so the
  // instrument costs the computer nothing.
  void SetReplay(bool replay) {
    std::lock_guard lock(mutex_);
    replay_ = replay;
    replay_stream_.clear();
  }
  // points x sweeps x (dwell x 5 us + 46 us).
  static std::chrono::microseconds AcquisitionTime(const SweepProgram& program);
  // The volts (I + jQ, DC offsets included, no noise, no quantisation) that
  // point `point` of `program` produces now: the connected device, the
  // receiver settings in force and the signal level.
  Complex ExpectedVolts(const SweepProgram& program, uint32_t point) const;

  // --- Identity and flash ----------------------------------------------------
  InstrumentIdentity IdentityWords() const;
  // Another instrument's identity (serial number, revisions, date words).
  void SetIdentityWords(const InstrumentIdentity& words);
  static InstrumentIdentity DefaultIdentity();
  std::array<uint16_t, kSectorWords> SectorWords(uint8_t code) const;  // code 0 ("H") .. 7 ("A")
  void SetSectorWords(uint8_t code, const std::array<uint16_t, kSectorWords>& words);
  std::array<uint16_t, 10> CodeStart() const;

  // --- Faults (each thread-safe; a count of -1 means "until cleared") ------
  void SetNoDevice(bool none);
  // The FTDI devices present; the one whose serial is kSerial is the
  // instrument, any other opens but never answers.
  void SetDeviceList(std::vector<ListedDevice> devices);
  // The next `count` writes accept only `bytes_accepted` bytes (FT_OK).
  void InjectWriteTimeout(uint32_t bytes_accepted, int count = 1);
  // The next `acquisitions` sample streams lose their last `bytes_lost` bytes.
  void InjectShortRead(uint32_t bytes_lost, int acquisitions = 1);
  // The next `count` reads (writes) fail with FT_IO_ERROR.
  void InjectReadError(int count = 1);
  void InjectWriteError(int count = 1);
  // Unplugged: every read and write fails with FT_IO_ERROR until reconnected.
  void SetDisconnected(bool disconnected);
  // The next command is answered with this one byte instead of being run.
  void ForceNextReply(uint8_t byte);
  // Commands with this opcode are taken but never answered.
  void SetNoReply(uint8_t opcode, bool silent = true);
  // ReadIdentity answers with this many bytes (200 normally).
  void SetIdentityReplyLength(uint32_t bytes);
  // Status bytes for erase and write (0 = success; anything else fails the
  // operation, which leaves the flash untouched).
  void SetEraseStatus(uint8_t status);
  void SetWriteStatus(uint8_t status);
  // A flash status for chosen erases or writes (a sector, an offset, a count).
  void InjectFlashFault(const FlashFault& fault);
  void SetLatencyTimerStatus(FT_STATUS status);
  void SetUsbParametersStatus(FT_STATUS status);
  // Multiplies the signal at the detector (1 normally; 3 or more saturates
  // the default sweeps).
  void SetSignalLevel(double factor);
  void ClearFaults();

  // --- What happened --------------------------------------------------------
  SimulatorCounters Counters() const;
  // The last 64 command blocks received, oldest first.
  std::vector<Frame> RecentFrames() const;

 private:
  struct FaultCount {
    int remaining = 0;
    bool Take() {
      if (remaining == 0) return false;
      if (remaining > 0) --remaining;
      return true;
    }
  };
  using Clock = std::chrono::steady_clock;

  bool IsOpenHandle(FT_HANDLE handle) const;
  bool TalkingToInstrument() const;
  void ProcessFrame(const uint8_t* frame);
  // The steps of a frame: kept among the recent frames, checked (length,
  // checksum, a command the instrument knows), then carried out.
  void RecordFrame(const uint8_t* frame);
  bool AcceptFrame(const uint8_t* frame);
  void ExecuteCommand(uint8_t code, const uint8_t* frame);
  void Reply(const uint8_t* bytes, size_t count);
  void Reply(std::initializer_list<uint8_t> bytes);
  void StartAcquisition();
  void ReleaseStreamIfDue(Clock::time_point now);
  void ClearQueues();
  Complex ExpectedVoltsLocked(const SweepProgram& program, uint32_t point) const;

  mutable std::mutex mutex_;
  std::condition_variable data_ready_;
  DetectorModel detector_;

  // Bus and handle.
  std::vector<ListedDevice> devices_;
  bool no_device_ = false;
  int opened_index_ = -1;
  char handle_tag_ = 0;          // its address is the handle
  std::vector<uint8_t> input_;   // host -> instrument, a frame being received
  std::vector<uint8_t> output_;  // instrument -> host, ready to read
  size_t output_pos_ = 0;
  std::vector<uint8_t> stream_;  // acquisition not yet delivered
  bool stream_pending_ = false;
  Clock::time_point stream_ready_at_{};
  std::deque<Frame> recent_frames_;

  // Instrument state.
  Dut dut_ = Dut::SeriesRlc;
  double noise_volts_ = kDefaultNoiseVolts;
  std::mt19937_64 random_;
  bool real_time_ = true;
  bool replay_ = false;
  SweepProgram replayed_program_{};
  std::vector<uint8_t> replay_stream_;
  SweepProgram program_{};
  FlashMemory flash_;
  SimulatorCounters counters_;

  // Faults.
  FaultCount write_timeouts_;
  uint32_t write_timeout_accepts_ = 0;
  FaultCount short_reads_;
  uint32_t short_read_bytes_ = 0;
  FaultCount read_errors_;
  FaultCount write_errors_;
  bool disconnected_ = false;
  std::optional<uint8_t> forced_reply_;
  std::set<uint8_t> silent_opcodes_;
  uint32_t identity_reply_bytes_ = kIdentityReplyBytes;
  // Its own lock: the identity is read while the state is locked.
  mutable std::mutex identity_mutex_;
  InstrumentIdentity identity_ = DefaultIdentity();
  FT_STATUS latency_status_ = FT_OK;
  FT_STATUS usb_parameters_status_ = FT_OK;
  double signal_level_ = 1.0;
};

}  // namespace ostra
