#include "sim/simulated_instrument.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ostra {

namespace {

constexpr size_t kRecentFrames = 64;
constexpr uint64_t kDefaultSeed = 0x0057A417;

void PutBigEndian16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value >> 8));
  out.push_back(static_cast<uint8_t>(value));
}

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t value) {
  PutBigEndian16(out, static_cast<uint16_t>(value >> 16));
  PutBigEndian16(out, static_cast<uint16_t>(value));
}

// One reading: 12-bit two's complement, saturating, sign-extended to 16 bits.
uint16_t Quantise(double volts) {
  const double counts = std::nearbyint(volts * 4096.0 / 5.0);
  const auto clamped = static_cast<int16_t>(std::clamp(counts, -2048.0, 2047.0));
  return static_cast<uint16_t>(clamped);
}

// L of each command the instrument knows; WriteSectorWords is checked apart.
std::optional<uint8_t> CommandLength(uint8_t code) {
  switch (code) {
    case opcode::kReadIdentity:
      return 1;
    case opcode::kProgramSweep:
      return 25;
    case opcode::kStartSweep:
      return 2;
    case opcode::kSetPreamp:
      return 2;
    case opcode::kSetRxGain:
      return 2;
    case opcode::kEraseSector:
      return 2;
    case opcode::kReadSector:
      return 2;
    case opcode::kCopyImage:
      return 1;
    case opcode::kWriteCodeStart:
      return 21;
    case opcode::kReadCodeStart:
      return 1;
    default:
      return std::nullopt;
  }
}

}  // namespace

SimulatedInstrument::SimulatedInstrument()
    : devices_{{kDescription, kSerial}}, random_(kDefaultSeed) {}

SimulatedInstrument::~SimulatedInstrument() = default;

// --- Handle and bus ------------------------------------------------------------

bool SimulatedInstrument::IsOpenHandle(FT_HANDLE handle) const {
  return opened_index_ >= 0 && handle == static_cast<const void*>(&handle_tag_);
}

bool SimulatedInstrument::TalkingToInstrument() const {
  return opened_index_ >= 0 && static_cast<size_t>(opened_index_) < devices_.size() &&
         devices_[opened_index_].serial == kSerial;
}

FT_STATUS SimulatedInstrument::FT_ListDevices(void* arg1, void* arg2, DWORD flags) {
  std::lock_guard lock(mutex_);
  const DWORD count = no_device_ ? 0 : static_cast<DWORD>(devices_.size());
  if (flags & FT_LIST_NUMBER_ONLY) {
    if (!arg1) return FT_INVALID_PARAMETER;
    *static_cast<DWORD*>(arg1) = count;
    return FT_OK;
  }
  if (!(flags & FT_LIST_BY_INDEX) || !arg2) return FT_INVALID_PARAMETER;
  const auto index = static_cast<size_t>(reinterpret_cast<uintptr_t>(arg1));
  if (index >= count) return FT_DEVICE_NOT_FOUND;
  const ListedDevice& device = devices_[index];
  const std::string* text = nullptr;
  if ((flags & 3) == FT_OPEN_BY_SERIAL_NUMBER) {
    if (!device.serial_readable) return FT_DEVICE_NOT_OPENED;
    text = &device.serial;
  } else if ((flags & 3) == FT_OPEN_BY_DESCRIPTION) {
    if (!device.description_readable) return FT_DEVICE_NOT_OPENED;
    text = &device.description;
  } else {
    return FT_INVALID_PARAMETER;
  }
  // The driver's buffer holds 64 characters.
  const size_t n = std::min<size_t>(text->size(), 63);
  std::memcpy(arg2, text->data(), n);
  static_cast<char*>(arg2)[n] = '\0';
  return FT_OK;
}

FT_STATUS SimulatedInstrument::FT_OpenEx(void* arg1, DWORD flags, FT_HANDLE* handle) {
  std::lock_guard lock(mutex_);
  ++counters_.open_attempts;
  if (!arg1 || !handle || flags != FT_OPEN_BY_SERIAL_NUMBER) return FT_INVALID_PARAMETER;
  const char* text = static_cast<const char*>(arg1);
  const std::string serial(text, strnlen(text, 64));
  counters_.last_open_request = serial;
  if (no_device_) return FT_DEVICE_NOT_FOUND;
  for (size_t i = 0; i < devices_.size(); ++i) {
    if (devices_[i].serial != serial || serial.empty()) continue;
    if (opened_index_ >= 0) return FT_DEVICE_NOT_OPENED;  // already open
    opened_index_ = static_cast<int>(i);
    *handle = &handle_tag_;
    ++counters_.opens;
    counters_.open = true;
    counters_.opened_serial = serial;
    ClearQueues();
    return FT_OK;
  }
  return FT_DEVICE_NOT_FOUND;
}

FT_STATUS SimulatedInstrument::FT_Close(FT_HANDLE handle) {
  std::lock_guard lock(mutex_);
  if (!IsOpenHandle(handle)) return FT_INVALID_HANDLE;
  opened_index_ = -1;
  counters_.open = false;
  ++counters_.closes;
  ClearQueues();
  data_ready_.notify_all();
  return FT_OK;
}

FT_STATUS SimulatedInstrument::FT_ResetDevice(FT_HANDLE handle) {
  std::lock_guard lock(mutex_);
  if (!IsOpenHandle(handle)) return FT_INVALID_HANDLE;
  if (disconnected_) return FT_IO_ERROR;
  ++counters_.resets;
  ClearQueues();
  return FT_OK;
}

void SimulatedInstrument::ClearQueues() {
  input_.clear();
  output_.clear();
  output_pos_ = 0;
  stream_.clear();
  stream_pending_ = false;
}

FT_STATUS SimulatedInstrument::FT_Purge(FT_HANDLE handle, ULONG mask) {
  std::lock_guard lock(mutex_);
  if (!IsOpenHandle(handle)) return FT_INVALID_HANDLE;
  if (disconnected_) return FT_IO_ERROR;
  if (mask & FT_PURGE_RX) {
    // Whatever the instrument had queued for the host, an acquisition still
    // running included, is dropped.
    ++counters_.purges_rx;
    output_.clear();
    output_pos_ = 0;
    stream_.clear();
    stream_pending_ = false;
  }
  if (mask & FT_PURGE_TX) {
    // A frame cut short by an earlier write is dropped.
    ++counters_.purges_tx;
    input_.clear();
  }
  return FT_OK;
}

FT_STATUS SimulatedInstrument::FT_SetTimeouts(FT_HANDLE handle, ULONG read_timeout,
                                              ULONG write_timeout) {
  std::lock_guard lock(mutex_);
  if (!IsOpenHandle(handle)) return FT_INVALID_HANDLE;
  counters_.read_timeout_ms = read_timeout;
  counters_.write_timeout_ms = write_timeout;
  return FT_OK;
}

FT_STATUS SimulatedInstrument::FT_SetLatencyTimer(FT_HANDLE handle, UCHAR timer) {
  std::lock_guard lock(mutex_);
  if (!IsOpenHandle(handle)) return FT_INVALID_HANDLE;
  if (latency_status_ != FT_OK) return latency_status_;
  counters_.latency_ms = timer;
  return FT_OK;
}

FT_STATUS SimulatedInstrument::FT_SetUSBParameters(FT_HANDLE handle, ULONG in_transfer_size,
                                                   ULONG out_transfer_size) {
  std::lock_guard lock(mutex_);
  if (!IsOpenHandle(handle)) return FT_INVALID_HANDLE;
  if (usb_parameters_status_ != FT_OK) return usb_parameters_status_;
  counters_.usb_in_transfer = in_transfer_size;
  counters_.usb_out_transfer = out_transfer_size;
  return FT_OK;
}

// --- Write: the instrument takes 50-byte command blocks -----------------------

FT_STATUS SimulatedInstrument::FT_Write(FT_HANDLE handle, void* buffer, DWORD bytes_to_write,
                                        DWORD* bytes_written) {
  if (bytes_written) *bytes_written = 0;
  std::lock_guard lock(mutex_);
  if (!IsOpenHandle(handle)) return FT_INVALID_HANDLE;
  if (disconnected_ || write_errors_.Take()) return FT_IO_ERROR;
  if (!buffer && bytes_to_write > 0) return FT_INVALID_PARAMETER;
  DWORD accepted = bytes_to_write;
  if (write_timeouts_.Take()) accepted = std::min(accepted, write_timeout_accepts_);
  if (bytes_written) *bytes_written = accepted;
  if (!TalkingToInstrument()) return FT_OK;  // another FTDI device: takes bytes, never answers

  const auto* bytes = static_cast<const uint8_t*>(buffer);
  input_.insert(input_.end(), bytes, bytes + accepted);
  size_t pos = 0;
  while (input_.size() - pos >= static_cast<size_t>(kFrameSize)) {
    ProcessFrame(&input_[pos]);
    pos += kFrameSize;
  }
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(pos));
  data_ready_.notify_all();
  return FT_OK;
}

void SimulatedInstrument::Reply(const uint8_t* bytes, size_t count) {
  output_.insert(output_.end(), bytes, bytes + count);
}

void SimulatedInstrument::Reply(std::initializer_list<uint8_t> bytes) {
  output_.insert(output_.end(), bytes.begin(), bytes.end());
}

void SimulatedInstrument::ProcessFrame(const uint8_t* frame) {
  RecordFrame(frame);
  if (forced_reply_) {
    Reply({*forced_reply_});
    forced_reply_.reset();
    return;
  }
  if (!AcceptFrame(frame)) return;
  const uint8_t code = frame[1];
  if (silent_opcodes_.count(code)) return;
  if (FlashMemory::IsFlashCommand(code)) {
    if (code == opcode::kCopyImage) ++counters_.copy_images;
    const std::vector<uint8_t> reply = flash_.Command(frame);
    Reply(reply.data(), reply.size());
    return;
  }
  ExecuteCommand(code, frame);
}

void SimulatedInstrument::RecordFrame(const uint8_t* frame) {
  ++counters_.frames_received;
  Frame copy;
  std::copy_n(frame, kFrameSize, copy.begin());
  recent_frames_.push_back(copy);
  if (recent_frames_.size() > kRecentFrames) recent_frames_.pop_front();
}

bool SimulatedInstrument::AcceptFrame(const uint8_t* frame) {
  const uint8_t length = frame[0];
  if (length < 1 || length > kMaxFrameLength) {
    ++counters_.unexpected_frames;
    Reply({kReplyUnexpectedData});
    return false;
  }
  if (FrameChecksum(frame) != frame[length + 1]) {
    ++counters_.checksum_errors;
    Reply({kReplyChecksumError});
    return false;
  }
  const uint8_t code = frame[1];
  const auto expected_length = CommandLength(code);
  const bool write_words = code == opcode::kWriteSectorWords && length >= 6 &&
                           length <= 2 * kMaxWriteWords + 4 && length % 2 == 0;
  const bool start_sweep_ok = code != opcode::kStartSweep || frame[2] == 0x01;
  if (!write_words && (!expected_length || *expected_length != length || !start_sweep_ok)) {
    ++counters_.unexpected_frames;
    Reply({kReplyUnexpectedData});
    return false;
  }
  return true;
}

void SimulatedInstrument::ExecuteCommand(uint8_t code, const uint8_t* frame) {
  switch (code) {
    case opcode::kReadIdentity: {
      std::vector<uint8_t> reply;
      for (uint32_t word : IdentityWords()) PutBigEndian32(reply, word);
      Reply(reply.data(), std::min<size_t>(reply.size(), identity_reply_bytes_));
      break;
    }
    case opcode::kProgramSweep:
      program_ = DecodeSweepProgram(frame);
      counters_.last_program = program_;
      counters_.rx_gain_code = program_.rx_gain_code;
      counters_.preamp = program_.preamp != 0;
      Reply({kReplyAck});
      break;
    case opcode::kStartSweep:
      ++counters_.start_sweeps;
      StartAcquisition();
      break;
    case opcode::kSetPreamp:
      counters_.preamp = frame[2] != 0;
      Reply({kReplyAck});
      break;
    case opcode::kSetRxGain:
      counters_.rx_gain_code = frame[2];
      Reply({kReplyAck});
      break;
    default:
      break;
  }
}

// --- Flash ---------------------------------------------------------------------

std::array<uint16_t, kSectorWords> SimulatedInstrument::SectorWords(uint8_t code) const {
  std::lock_guard lock(mutex_);
  return flash_.SectorWords(code);
}

void SimulatedInstrument::SetSectorWords(uint8_t code,
                                         const std::array<uint16_t, kSectorWords>& words) {
  std::lock_guard lock(mutex_);
  flash_.SetSectorWords(code, words);
}

std::array<uint16_t, 10> SimulatedInstrument::CodeStart() const {
  std::lock_guard lock(mutex_);
  return flash_.CodeStart();
}

InstrumentIdentity SimulatedInstrument::DefaultIdentity() {
  InstrumentIdentity words{};
  words[1] = kSerialNumber;
  words[2] = kFirmwareRevision;
  words[3] = kHardwareRevision;
  words[4] = kManufactureDate;
  return words;
}

InstrumentIdentity SimulatedInstrument::IdentityWords() const {
  std::lock_guard lock(identity_mutex_);
  return identity_;
}

void SimulatedInstrument::SetIdentityWords(const InstrumentIdentity& words) {
  std::lock_guard lock(identity_mutex_);
  identity_ = words;
}

// --- Acquisition ---------------------------------------------------------------

std::chrono::microseconds SimulatedInstrument::AcquisitionTime(const SweepProgram& program) {
  const int64_t per_point_us = int64_t{program.dwell} * 5 + 46;
  return std::chrono::microseconds(int64_t{program.points} * program.sweep_count * per_point_us);
}

SimulatedInstrument::Complex SimulatedInstrument::ExpectedVoltsLocked(const SweepProgram& program,
                                                                      uint32_t point) const {
  const PointStimulus stimulus =
      ProgramPointStimulus(program, point, counters_.rx_gain_code, counters_.preamp);
  return detector_.DutVolts(dut_, stimulus, signal_level_);
}

SimulatedInstrument::Complex SimulatedInstrument::ExpectedVolts(const SweepProgram& program,
                                                                uint32_t point) const {
  std::lock_guard lock(mutex_);
  return ExpectedVoltsLocked(program, point);
}

void SimulatedInstrument::StartAcquisition() {
  const SweepProgram& program = program_;
  const size_t points = program.points;
  const size_t dwell = program.dwell;
  const size_t samples = points * dwell * program.sweep_count;
  const size_t bytes = std::min(samples * 4, kMaxStreamBytes);

  if (replay_ && !replay_stream_.empty() && replayed_program_ == program) {
    stream_ = replay_stream_;
  } else {
    std::vector<Complex> volts(points);
    for (size_t i = 0; i < points && i * dwell * 4 < bytes; ++i) {
      volts[i] = ExpectedVoltsLocked(program, static_cast<uint32_t>(i));
    }
    std::normal_distribution<double> noise(0.0, noise_volts_ > 0 ? noise_volts_ : 1.0);
    auto noisy = [&](double v) { return noise_volts_ > 0 ? v + noise(random_) : v; };

    stream_.clear();
    stream_.reserve(bytes);
    for (size_t sample = 0; stream_.size() + 4 <= bytes; ++sample) {
      const Complex& v = volts[(sample / dwell) % points];
      PutBigEndian16(stream_, Quantise(noisy(v.real())));
      PutBigEndian16(stream_, Quantise(noisy(v.imag())));
    }
    if (replay_) {
      replay_stream_ = stream_;
      replayed_program_ = program;
    }
  }
  if (short_reads_.Take()) {
    stream_.resize(stream_.size() - std::min<size_t>(stream_.size(), short_read_bytes_));
  }
  stream_pending_ = true;
  stream_ready_at_ = Clock::now() + (real_time_ ? AcquisitionTime(program) : Clock::duration{});
  ReleaseStreamIfDue(Clock::now());
}

void SimulatedInstrument::ReleaseStreamIfDue(Clock::time_point now) {
  if (!stream_pending_ || (real_time_ && now < stream_ready_at_)) return;
  output_.insert(output_.end(), stream_.begin(), stream_.end());
  stream_.clear();
  stream_pending_ = false;
}

FT_STATUS SimulatedInstrument::FT_Read(FT_HANDLE handle, void* buffer, DWORD bytes_to_read,
                                       DWORD* bytes_returned) {
  if (bytes_returned) *bytes_returned = 0;
  std::unique_lock lock(mutex_);
  if (!IsOpenHandle(handle)) return FT_INVALID_HANDLE;
  if (disconnected_ || read_errors_.Take()) return FT_IO_ERROR;
  if (!buffer && bytes_to_read > 0) return FT_INVALID_PARAMETER;

  const auto deadline = Clock::now() + std::chrono::milliseconds(counters_.read_timeout_ms);
  for (;;) {
    const auto now = Clock::now();
    ReleaseStreamIfDue(now);
    if (output_.size() - output_pos_ >= bytes_to_read || !real_time_ || now >= deadline) break;
    // Sleep (the mutex released) until the acquisition is due or the time-out.
    auto wake = deadline;
    if (stream_pending_ && stream_ready_at_ < wake) wake = stream_ready_at_;
    data_ready_.wait_until(lock, wake);
    if (!IsOpenHandle(handle)) return FT_INVALID_HANDLE;
    if (disconnected_) return FT_IO_ERROR;
  }
  const size_t n = std::min<size_t>(bytes_to_read, output_.size() - output_pos_);
  if (n > 0) std::memcpy(buffer, output_.data() + output_pos_, n);
  output_pos_ += n;
  if (output_pos_ == output_.size()) {
    output_.clear();
    output_pos_ = 0;
  }
  if (bytes_returned) *bytes_returned = static_cast<DWORD>(n);
  return FT_OK;
}

// --- Settings and faults -------------------------------------------------------

void SimulatedInstrument::SetDut(Dut dut) {
  std::lock_guard lock(mutex_);
  dut_ = dut;
}

Dut SimulatedInstrument::GetDut() const {
  std::lock_guard lock(mutex_);
  return dut_;
}

void SimulatedInstrument::SetNoise(double volts_rms) {
  std::lock_guard lock(mutex_);
  noise_volts_ = std::max(0.0, volts_rms);
}

void SimulatedInstrument::SetSeed(uint64_t seed) {
  std::lock_guard lock(mutex_);
  random_.seed(seed);
}

void SimulatedInstrument::SetRealTime(bool real_time) {
  std::lock_guard lock(mutex_);
  real_time_ = real_time;
  ReleaseStreamIfDue(Clock::now());
  data_ready_.notify_all();
}

void SimulatedInstrument::SetNoDevice(bool none) {
  std::lock_guard lock(mutex_);
  no_device_ = none;
}

void SimulatedInstrument::SetDeviceList(std::vector<ListedDevice> devices) {
  std::lock_guard lock(mutex_);
  devices_ = std::move(devices);
  opened_index_ = -1;
  counters_.open = false;
  ClearQueues();
}

void SimulatedInstrument::InjectWriteTimeout(uint32_t bytes_accepted, int count) {
  std::lock_guard lock(mutex_);
  write_timeouts_.remaining = count;
  write_timeout_accepts_ = bytes_accepted;
}

void SimulatedInstrument::InjectShortRead(uint32_t bytes_lost, int acquisitions) {
  std::lock_guard lock(mutex_);
  short_reads_.remaining = acquisitions;
  short_read_bytes_ = bytes_lost;
}

void SimulatedInstrument::InjectReadError(int count) {
  std::lock_guard lock(mutex_);
  read_errors_.remaining = count;
}

void SimulatedInstrument::InjectWriteError(int count) {
  std::lock_guard lock(mutex_);
  write_errors_.remaining = count;
}

void SimulatedInstrument::SetDisconnected(bool disconnected) {
  std::lock_guard lock(mutex_);
  disconnected_ = disconnected;
  data_ready_.notify_all();
}

void SimulatedInstrument::ForceNextReply(uint8_t byte) {
  std::lock_guard lock(mutex_);
  forced_reply_ = byte;
}

void SimulatedInstrument::SetNoReply(uint8_t code, bool silent) {
  std::lock_guard lock(mutex_);
  if (silent) {
    silent_opcodes_.insert(code);
  } else {
    silent_opcodes_.erase(code);
  }
}

void SimulatedInstrument::SetIdentityReplyLength(uint32_t bytes) {
  std::lock_guard lock(mutex_);
  identity_reply_bytes_ = bytes;
}

void SimulatedInstrument::SetEraseStatus(uint8_t status) {
  std::lock_guard lock(mutex_);
  flash_.SetEraseStatus(status);
}

void SimulatedInstrument::SetWriteStatus(uint8_t status) {
  std::lock_guard lock(mutex_);
  flash_.SetWriteStatus(status);
}

void SimulatedInstrument::InjectFlashFault(const FlashFault& fault) {
  std::lock_guard lock(mutex_);
  flash_.InjectFault(fault);
}

void SimulatedInstrument::SetLatencyTimerStatus(FT_STATUS status) {
  std::lock_guard lock(mutex_);
  latency_status_ = status;
}

void SimulatedInstrument::SetUsbParametersStatus(FT_STATUS status) {
  std::lock_guard lock(mutex_);
  usb_parameters_status_ = status;
}

void SimulatedInstrument::SetSignalLevel(double factor) {
  std::lock_guard lock(mutex_);
  signal_level_ = factor;
}

void SimulatedInstrument::ClearFaults() {
  std::lock_guard lock(mutex_);
  no_device_ = false;
  write_timeouts_ = {};
  short_reads_ = {};
  read_errors_ = {};
  write_errors_ = {};
  disconnected_ = false;
  forced_reply_.reset();
  silent_opcodes_.clear();
  identity_reply_bytes_ = kIdentityReplyBytes;
  flash_.ClearFaults();
  latency_status_ = FT_OK;
  usb_parameters_status_ = FT_OK;
  signal_level_ = 1.0;
}

SimulatorCounters SimulatedInstrument::Counters() const {
  std::lock_guard lock(mutex_);
  return counters_;
}

std::vector<SimulatedInstrument::Frame> SimulatedInstrument::RecentFrames() const {
  std::lock_guard lock(mutex_);
  return {recent_frames_.begin(), recent_frames_.end()};
}

}  // namespace ostra
