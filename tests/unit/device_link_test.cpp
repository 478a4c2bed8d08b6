// The device link against the simulated instrument: frame bytes as they reach
// the instrument, Transact's messages, device selection and opening, the
// sticky driver status and the flash commands.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "device/device_link.h"
#include "sim/simulated_instrument.h"
#include "support/fake_platform.h"
#include "support/forwarding_transport.h"

namespace ostra {

namespace {

using ::testing::ElementsAre;
using testing::FakePlatform;
using ::testing::IsEmpty;

// Forwards to the simulator and records the calls that shape an exchange.
class RecordingTransport : public testing::ForwardingTransport {
 public:
  explicit RecordingTransport(Transport& inner) : ForwardingTransport(inner) {}
  std::vector<std::string> calls;

  FT_STATUS FT_Purge(FT_HANDLE h, ULONG mask) override {
    calls.push_back(mask == FT_PURGE_TX ? "purge tx" : "purge rx");
    return ForwardingTransport::FT_Purge(h, mask);
  }
  FT_STATUS FT_SetTimeouts(FT_HANDLE h, ULONG r, ULONG w) override {
    calls.push_back("timeouts " + std::to_string(r) + "/" + std::to_string(w));
    return ForwardingTransport::FT_SetTimeouts(h, r, w);
  }
  FT_STATUS FT_Write(FT_HANDLE h, void* buffer, DWORD n, DWORD* written) override {
    calls.push_back("write " + std::to_string(n));
    return ForwardingTransport::FT_Write(h, buffer, n, written);
  }
  FT_STATUS FT_Read(FT_HANDLE h, void* buffer, DWORD n, DWORD* read) override {
    calls.push_back("read " + std::to_string(n));
    return ForwardingTransport::FT_Read(h, buffer, n, read);
  }
};

class DeviceLinkTest : public ::testing::Test {
 protected:
  DeviceLinkTest() {
    sim.SetRealTime(false);
    sim.SetNoise(0.0);
  }
  std::string Open() {
    std::string result = link.OpenInstrument();
    platform.ClearMessages();
    recorder.calls.clear();
    return result;
  }
  SimulatedInstrument::Frame LastFrame() const { return sim.RecentFrames().back(); }

  SimulatedInstrument sim;
  RecordingTransport recorder{sim};
  FakePlatform platform;
  DeviceLink link{recorder, platform};
};

// --- Frame bytes ---------------------------------------------------------------

TEST_F(DeviceLinkTest, CommandFramesReachTheInstrumentByteForByte) {
  Open();
  ASSERT_TRUE(link.StartSweep());
  auto frame = LastFrame();
  EXPECT_THAT(std::vector<uint8_t>(frame.begin(), frame.begin() + 4), ElementsAre(2, 5, 1, 6));

  InstrumentIdentity words{};
  link.ReadIdentity(words);
  frame = LastFrame();
  EXPECT_THAT(std::vector<uint8_t>(frame.begin(), frame.begin() + 3), ElementsAre(1, 0, 1));

  EXPECT_EQ(link.SetPreamp(true), 1u);
  frame = LastFrame();
  EXPECT_THAT(std::vector<uint8_t>(frame.begin(), frame.begin() + 4),
              ElementsAre(0x02, 0x0E, 0x01, 0x0D));

  EXPECT_EQ(link.SetRxGain(12), 1u);  // 36 dB
  frame = LastFrame();
  EXPECT_THAT(std::vector<uint8_t>(frame.begin(), frame.begin() + 4),
              ElementsAre(0x02, 0x0F, 0x0C, 0x01));
  EXPECT_THAT(platform.MessageTexts(), IsEmpty());
  EXPECT_EQ(sim.Counters().checksum_errors, 0u);
}

TEST_F(DeviceLinkTest, ShortFrameLeavesTheRestOfAnEarlierLongerFrameInTheBlock) {
  Open();
  SweepProgram program;
  program.start_word = 0x0A3D70A4;
  program.step_word = 0x00139022;
  program.points = 201;
  program.power_word = 0x0195;
  program.freq_word = 0x0A3D70A4;
  program.dwell = 8;
  program.rx_gain_code = 13;
  ASSERT_EQ(link.ProgramSweep(program), 1u);
  const auto long_frame = LastFrame();
  EXPECT_EQ(long_frame[0], 25);
  EXPECT_EQ(long_frame[26], FrameChecksum(long_frame.data()));

  ASSERT_EQ(link.SetPreamp(false), 1u);
  const auto short_frame = LastFrame();
  EXPECT_THAT(std::vector<uint8_t>(short_frame.begin(), short_frame.begin() + 4),
              ElementsAre(0x02, 0x0E, 0x00, 0x0C));
  for (int i = 4; i < kFrameSize; ++i) EXPECT_EQ(short_frame[i], long_frame[i]) << "byte " << i;
  EXPECT_EQ(sim.Counters().last_program, program);
}

TEST_F(DeviceLinkTest, TransactPurgesWritesOneBlockThenReadsTheReply) {
  Open();
  link.SetRxGain(13);
  EXPECT_THAT(recorder.calls, ElementsAre("purge tx", "purge rx", "write 50", "read 1"));
}

// --- Transact's messages ---------------------------------------------------------

TEST_F(DeviceLinkTest, OneByteStatusRepliesShowTheirMessages) {
  Open();
  sim.ForceNextReply(kReplyChecksumError);
  EXPECT_EQ(link.SetPreamp(true), 1u);
  EXPECT_THAT(platform.MessageTexts(), ElementsAre("CHECKSUM error!"));

  platform.ClearMessages();
  sim.ForceNextReply(kReplyUnexpectedData);
  EXPECT_EQ(link.EraseSector("E").count, 1u);  // expects 2 bytes
  EXPECT_THAT(
      platform.MessageTexts(),
      ElementsAre("Received data do not match with what is expected", "UNEXPECTED_DATA error!"));

  platform.ClearMessages();
  sim.ForceNextReply(0x37);  // not interpreted
  EXPECT_EQ(link.SetRxGain(1), 1u);
  EXPECT_THAT(platform.MessageTexts(), IsEmpty());
}

TEST_F(DeviceLinkTest, AReplyThatNeverComesShowsBothMessages) {
  Open();
  sim.SetNoReply(opcode::kSetPreamp);
  EXPECT_EQ(link.SetPreamp(true), 0u);
  EXPECT_THAT(
      platform.MessageTexts(),
      ElementsAre("Received data do not match with what is expected", "Did not return any data!"));
}

TEST_F(DeviceLinkTest, ShortIdentityReplyLeavesTheWordsAsTheyWere) {
  Open();
  sim.SetIdentityReplyLength(120);
  InstrumentIdentity words{};
  words[1] = 12345;
  EXPECT_EQ(link.ReadIdentity(words), 120u);
  EXPECT_EQ(words[1], 12345u);
  EXPECT_THAT(
      platform.MessageTexts(),
      ElementsAre("Received data do not match with what is expected", "Unexpected data length"));

  platform.ClearMessages();
  sim.SetIdentityReplyLength(200);
  EXPECT_EQ(link.ReadIdentity(words), 200u);
  EXPECT_EQ(words[1], SimulatedInstrument::kSerialNumber);
  EXPECT_EQ(words[2], 0x0102u);
  EXPECT_EQ(words[3] >> 16, 7u);
  EXPECT_EQ(words[3] & 0xFF, static_cast<uint32_t>('A'));
  EXPECT_EQ(words[4], 0x150612u);
  EXPECT_THAT(platform.MessageTexts(), IsEmpty());
}

TEST_F(DeviceLinkTest, ShortWriteShowsTheWriteTimeOutAndStillReads) {
  Open();
  sim.InjectWriteTimeout(20);
  EXPECT_EQ(link.SetPreamp(true), 0u);  // the instrument never got a whole frame
  EXPECT_THAT(
      platform.MessageTexts(),
      ElementsAre("USB Device Write TimeOut.", "Received data do not match with what is expected",
                  "Did not return any data!"));
  platform.ClearMessages();
  EXPECT_EQ(link.SetPreamp(true), 1u);  // the purge dropped the half frame
  EXPECT_THAT(platform.MessageTexts(), IsEmpty());

  sim.InjectWriteTimeout(49);
  EXPECT_FALSE(link.StartSweep());
}

TEST_F(DeviceLinkTest, MessagesAreShownAfterTheConnectionIsReleased) {
  Open();
  bool free_while_shown = false;
  platform.on_message = [&](const testing::RecordedMessage&) {
    std::unique_lock lock(link.ConnectionMutex(), std::try_to_lock);
    free_while_shown = lock.owns_lock();
  };
  sim.ForceNextReply(kReplyChecksumError);
  link.SetRxGain(3);
  EXPECT_TRUE(free_while_shown);
}

// --- Opening -----------------------------------------------------------------------

TEST_F(DeviceLinkTest, OpensTheInstrumentAndConfiguresTheDriver) {
  EXPECT_EQ(link.OpenInstrument(), "OSTRA VECTOR NETWORK ANALYSER [OS000417]");
  const SimulatorCounters c = sim.Counters();
  EXPECT_TRUE(c.open);
  EXPECT_EQ(c.resets, 1u);
  EXPECT_EQ(c.read_timeout_ms, 600u);
  EXPECT_EQ(c.write_timeout_ms, 600u);
  EXPECT_EQ(c.latency_ms, 5);
  EXPECT_EQ(c.usb_in_transfer, 65536u);
  EXPECT_EQ(c.usb_out_transfer, 0u);
  EXPECT_EQ(link.LastDriverStatus(), 0u);
  EXPECT_THAT(platform.MessageTexts(), IsEmpty());
}

TEST_F(DeviceLinkTest, PicksTheFirstDeviceWhoseDescriptionContainsVectorInAnyCase) {
  sim.SetDeviceList({{"USB Serial Converter", "FT0001"},
                     {"Ostra vector analyser", SimulatedInstrument::kSerial},
                     {"Another VECTOR thing", "FT0003"}});
  EXPECT_EQ(link.OpenInstrument(), "Ostra vector analyser [OS000417]");
  EXPECT_EQ(sim.Counters().opened_serial, SimulatedInstrument::kSerial);
}

TEST_F(DeviceLinkTest, WithoutVectorTheLastReadableSerialIsOpened) {
  sim.SetDeviceList({{"USB Serial Converter", "FT0001"}, {"FT232R USB UART", "FT0002"}});
  EXPECT_EQ(link.OpenInstrument(), "FT232R USB UART [FT0002]");
  EXPECT_EQ(sim.Counters().opened_serial, "FT0002");

  // A last device whose serial cannot be read keeps the previous serial; the
  // description is the last listed text.
  link.CloseInstrument();
  sim.SetDeviceList({{"USB Serial Converter", "FT0001"},
                     {"FT232R USB UART", "FT0002", /*serial_readable=*/false}});
  EXPECT_EQ(link.OpenInstrument(), "FT232R USB UART [FT0001]");
  // The failed listing of another device is forgotten once the open succeeds.
  EXPECT_EQ(link.LastDriverStatus(), FT_OK);
}

TEST_F(DeviceLinkTest, NoDeviceTriesAnEmptySerialAndReportsNotOpen) {
  sim.SetNoDevice(true);
  EXPECT_EQ(link.OpenInstrument(), "NotOpen");
  const SimulatorCounters c = sim.Counters();
  EXPECT_EQ(c.open_attempts, 1u);
  EXPECT_EQ(c.last_open_request, "");
  EXPECT_EQ(link.LastDriverStatus(), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ(link.DeviceCount(), 0u);
  EXPECT_EQ(link.FlashStatusNames()[22], "STATUS_FAIL_ERASE");
}

TEST_F(DeviceLinkTest, SetupFailuresAreShownWithTheStatusAndTheOpenGoesOn) {
  sim.SetLatencyTimerStatus(FT_IO_ERROR);
  sim.SetUsbParametersStatus(FT_INVALID_PARAMETER);
  EXPECT_EQ(link.OpenInstrument(), "OSTRA VECTOR NETWORK ANALYSER [OS000417]");
  EXPECT_THAT(platform.MessageTexts(), ElementsAre("FT_SetLatencyTimer setup failed: 4",
                                                   "FT_SetUSBParameters setup failed: 6"));
  EXPECT_EQ(link.LastDriverStatus(), 0u);
}

TEST_F(DeviceLinkTest, LongSerialNumbersAreCutTo49Characters) {
  const std::string long_serial(60, 'S');
  sim.SetDeviceList({{"VECTOR", long_serial}});
  EXPECT_EQ(link.OpenInstrument(), "NotOpen");
  EXPECT_EQ(sim.Counters().last_open_request, std::string(49, 'S'));
}

// --- Driver status -------------------------------------------------------------------

TEST_F(DeviceLinkTest, DriverStatusStaysUntilTheNextOpen) {
  Open();
  sim.InjectReadError(1);
  std::vector<uint8_t> buffer(10);
  EXPECT_EQ(link.ReadBlock(buffer), 0u);
  EXPECT_EQ(link.LastDriverStatus(), FT_IO_ERROR);
  EXPECT_EQ(link.SetPreamp(true), 1u);  // a later exchange succeeds
  EXPECT_EQ(link.LastDriverStatus(), FT_IO_ERROR);

  link.CloseInstrument();
  Open();
  EXPECT_EQ(link.LastDriverStatus(), 0u);
}

TEST(DriverStatusText, QuotedTextsForTheKnownStatuses) {
  EXPECT_EQ(DeviceLink::DriverStatusText(1), "\"Invalid Handle\"");
  EXPECT_EQ(DeviceLink::DriverStatusText(2), "\"Device Not Found\"");
  EXPECT_EQ(DeviceLink::DriverStatusText(4), "\"General IO Error\"");
  EXPECT_EQ(DeviceLink::DriverStatusText(6), "\"Invalid Parameter\"");
  EXPECT_EQ(DeviceLink::DriverStatusText(0), "");
  EXPECT_EQ(DeviceLink::DriverStatusText(7), "");
  EXPECT_EQ(DeviceLink::DriverStatusText(18), "");
}

TEST_F(DeviceLinkTest, FlashStatusNames) {
  Open();
  const auto& names = link.FlashStatusNames();
  EXPECT_EQ(names[0], "STATUS_SUCCESS");
  EXPECT_EQ(names[5], "Undefined Error Code 5received");
  EXPECT_EQ(names[22], "STATUS_FAIL_ERASE");
  EXPECT_EQ(names[31], "STATUS_FAIL_ZERO_BIT_ERROR");
  EXPECT_EQ(names[40], "STATUS_FAIL_VERIFY");
  EXPECT_EQ(link.FlashStatusName(30), "STATUS_FAIL_PROGRAM");
  // Beyond the table: a text of its own instead of a read past the end.
  EXPECT_EQ(link.FlashStatusName(41), "Undefined Error Code 41received");
  EXPECT_EQ(link.FlashStatusName(255), "Undefined Error Code 255received");
}

// --- Reads ---------------------------------------------------------------------------

TEST_F(DeviceLinkTest, ReadBlockNeverAsksForMoreThanTheBuffer) {
  Open();
  std::vector<uint8_t> buffer(100000);
  link.ReadBlock(buffer);
  EXPECT_THAT(recorder.calls, ElementsAre("read 65536"));
}

// --- Flash ---------------------------------------------------------------------------

TEST_F(DeviceLinkTest, FlashCommandsRunWithTheLongReadTimeOutWhateverTheOutcome) {
  Open();
  link.EraseSector("E");
  EXPECT_THAT(recorder.calls, ElementsAre("timeouts 3000/600", "purge tx", "purge rx", "write 50",
                                          "read 2", "timeouts 600/600"));
  recorder.calls.clear();
  sim.SetNoReply(opcode::kCopyImage);
  EXPECT_EQ(link.CopyImage().count, 0u);
  EXPECT_EQ(recorder.calls.front(), "timeouts 3000/600");
  EXPECT_EQ(recorder.calls.back(), "timeouts 600/600");
  EXPECT_EQ(sim.Counters().read_timeout_ms, 600u);
}

TEST_F(DeviceLinkTest, FlashRoundTrip) {
  Open();
  const FlashReply erased = link.EraseSector("E");
  ASSERT_EQ(erased.count, 2u);
  EXPECT_EQ(erased.first, kReplyAck);
  EXPECT_EQ(erased.status, 0);
  const std::vector<uint16_t> words = {0x1234, 0xABCD, 0x0000, 0xFFFE};
  const FlashReply written = link.WriteSectorWords("E", 0x1FFC, words);
  ASSERT_EQ(written.count, 2u);
  EXPECT_EQ(written.status, 0);

  std::array<uint16_t, 8192> sector{};
  ASSERT_EQ(link.ReadSector("E", sector), 16384u);
  EXPECT_EQ(sector[0x1FFC], 0x1234);
  EXPECT_EQ(sector[0x1FFD], 0xABCD);
  EXPECT_EQ(sector[0x1FFE], 0x0000);
  EXPECT_EQ(sector[0x1FFF], 0xFFFE);
  EXPECT_EQ(sector[0], 0xFFFF);
  EXPECT_EQ(sim.SectorWords(*SectorCode("E")), sector);

  // Writing ones over zeros needs an erase first.
  const FlashReply zero_bit = link.WriteSectorWords("E", 0x1FFE, {0x0001});
  ASSERT_EQ(zero_bit.count, 2u);
  EXPECT_EQ(link.FlashStatusName(zero_bit.status), "STATUS_FAIL_ZERO_BIT_ERROR");

  const std::array<uint32_t, 10> code_start = {0x0040, 0x0000, 0xFFFF, 0xFFFF, 0xFFFF,
                                               0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x1FFFF};
  ASSERT_EQ(link.WriteCodeStart(code_start).count, 1u);
  std::array<uint32_t, 128> read_back{};
  ASSERT_EQ(link.ReadCodeStart(read_back), 256u);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(read_back[118 + i], code_start[i]);
  EXPECT_EQ(read_back[127], 0xFFFFu);  // the low 16 bits are sent

  EXPECT_EQ(link.CopyImage().first, kReplyAck);
  EXPECT_EQ(sim.Counters().copy_images, 1u);
  EXPECT_THAT(platform.MessageTexts(), IsEmpty());
}

TEST_F(DeviceLinkTest, FlashStatusErrorsComeBackInByteOne) {
  Open();
  sim.SetEraseStatus(22);
  const FlashReply erase = link.EraseSector("C");
  ASSERT_EQ(erase.count, 2u);
  EXPECT_EQ(link.FlashStatusName(erase.status), "STATUS_FAIL_ERASE");
  sim.SetWriteStatus(30);
  const FlashReply write = link.WriteSectorWords("C", 0, {0x1111});
  ASSERT_EQ(write.count, 2u);
  EXPECT_EQ(link.FlashStatusName(write.status), "STATUS_FAIL_PROGRAM");
  EXPECT_EQ(sim.SectorWords(*SectorCode("C"))[0], 0xFFFF);
}

TEST_F(DeviceLinkTest, BadFlashRequestsAreRefusedBeforeAnythingIsSent) {
  Open();
  const uint64_t frames = sim.Counters().frames_received;
  EXPECT_EQ(link.WriteSectorWords("E", 0, std::vector<uint16_t>(17, 0x1234)).count, 0u);
  EXPECT_EQ(link.WriteSectorWords("E", 0, {}).count, 0u);
  EXPECT_EQ(link.EraseSector("e").count, 0u);
  EXPECT_EQ(link.EraseSector("I").count, 0u);
  std::array<uint16_t, 8192> sector{};
  EXPECT_EQ(link.ReadSector("AB", sector), 0u);
  EXPECT_EQ(sim.Counters().frames_received, frames);
  EXPECT_TRUE(recorder.calls.empty());

  // Sixteen words is the largest frame (L = 36) and is accepted.
  const FlashReply longest = link.WriteSectorWords("E", 0, std::vector<uint16_t>(16, 0x1234));
  EXPECT_EQ(longest.count, 2u);
  EXPECT_EQ(LastFrame()[0], 36);
  EXPECT_EQ(longest.status, 0);
}

TEST_F(DeviceLinkTest, ReadSectorOfTheWrongLengthStoresNothing) {
  Open();
  std::array<uint16_t, 8192> sector;
  sector.fill(0x5A5A);
  sim.ForceNextReply(kReplyAck);
  EXPECT_EQ(link.ReadSector("D", sector), 1u);
  EXPECT_THAT(platform.MessageTexts(),
              ElementsAre("Received data do not match with what is expected",
                          "Data received do not match with what is expected. Received:1 ; "
                          "Expected:16384"));
  for (uint16_t word : sector) ASSERT_EQ(word, 0x5A5A);
}

// --- Two threads ---------------------------------------------------------------------

TEST_F(DeviceLinkTest, CommandsAndAcquisitionsFromTwoThreadsDoNotMix) {
  Open();
  SweepProgram program;
  program.points = 11;
  program.dwell = 2;
  program.sweep_type = 0;
  program.start_word = 0x0A3D70A4;
  program.step_word = 0x00139022;
  program.power_word = 405;
  program.rx_gain_code = 13;
  ASSERT_EQ(link.ProgramSweep(program), 1u);
  const uint32_t expected = 11 * 2 * 3 * 4;

  std::atomic<int> good_reads{0};
  std::thread worker([&] {
    std::vector<uint8_t> stream(expected);
    for (int i = 0; i < 200; ++i) {
      if (link.StartSweepAndRead(stream).received == expected) ++good_reads;
    }
  });
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(link.SetRxGain(13), 1u);
    sim.SetDut(i % 2 ? Dut::Open : Dut::Short);
  }
  worker.join();
  EXPECT_EQ(good_reads.load(), 200);
  EXPECT_THAT(platform.MessageTexts(), IsEmpty());
  EXPECT_EQ(link.LastDriverStatus(), 0u);
}

}  // namespace
}  // namespace ostra
