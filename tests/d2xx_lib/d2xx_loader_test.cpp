// The run-time D2XX loader against a library built from the simulated
// instrument, against a missing library, and against a library that lacks
// the D2XX functions.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "device/d2xx_library.h"
#include "device/device_link.h"
#include "sim/detector_model.h"
#include "support/fake_platform.h"

namespace ostra {
namespace {

using testing::FakePlatform;
using ::testing::IsEmpty;

// The test library's own set-up function, found the way the loader finds the
// D2XX functions.
int Control(const char* command) {
#ifdef _WIN32
  HMODULE module = GetModuleHandleA(OSTRA_TEST_D2XX_PATH);
  auto* address = module ? GetProcAddress(module, "OstraTestD2xxControl") : nullptr;
#else
  void* module = dlopen(OSTRA_TEST_D2XX_PATH, RTLD_NOW | RTLD_NOLOAD);
  void* address = module ? dlsym(module, "OstraTestD2xxControl") : nullptr;
  if (module) dlclose(module);
#endif
  if (!address) return -2;
  using ControlFn = int (*)(const char*);
  ControlFn control = nullptr;
  std::memcpy(&control, &address, sizeof control);
  return control(command);
}

class D2xxLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library.Loaded()) << library.LoadError();
    ASSERT_EQ(Control("reset"), 0);
  }
  D2xxLibrary library{OSTRA_TEST_D2XX_PATH};
  FakePlatform platform;
  DeviceLink link{library, platform};
};

TEST_F(D2xxLoaderTest, OpensExchangesFramesReadsAStreamAndCloses) {
  EXPECT_EQ(library.LoadError(), "");
  ASSERT_EQ(link.OpenInstrument(), "OSTRA VECTOR NETWORK ANALYSER [OS000417]");
  EXPECT_EQ(link.DeviceCount(), 1u);

  InstrumentIdentity identity{};
  ASSERT_EQ(link.ReadIdentity(identity), 200u);
  EXPECT_EQ(identity[1], 417u);
  EXPECT_EQ(identity[2], 0x0102u);

  ASSERT_EQ(Control("dut=open"), 0);
  SweepProgram program;
  program.start_word = 0x0A3D70A4;
  program.step_word = 0x00139022;
  program.points = 21;
  program.sweep_count = 3;
  program.power_word = 405;
  program.freq_word = 0x0A3D70A4;
  program.dwell = 4;
  program.rx_gain_code = 13;
  ASSERT_EQ(link.ProgramSweep(program), 1u);
  ASSERT_EQ(link.SetPreamp(false), 1u);

  const uint32_t expected = 21 * 4 * 3 * 4;
  std::vector<uint8_t> stream(expected);
  const DeviceLink::SweepReading reading = link.StartSweepAndRead(stream);
  ASSERT_TRUE(reading.written);
  ASSERT_EQ(reading.received, expected);
  // Point 20 of sweep 2, first sample: the open through the detector.
  const uint8_t* sample = stream.data() + ((2 * 21 + 20) * 4) * 4;
  auto counts = [](const uint8_t* p) {
    const int word = ((p[0] << 8) | p[1]) & 0x0FFF;
    return word >= 0x800 ? word - 0x1000 : word;
  };
  const auto volts =
      DetectorModel().DutVolts(Dut::Open, ProgramPointStimulus(program, 20, 13, false));
  EXPECT_NEAR(counts(sample) * 5.0 / 4096, volts.real(), 5.0 / 4096);
  EXPECT_NEAR(counts(sample + 2) * 5.0 / 4096, volts.imag(), 5.0 / 4096);

  EXPECT_THAT(platform.MessageTexts(), IsEmpty());
  EXPECT_EQ(link.LastDriverStatus(), 0u);
  EXPECT_EQ(link.CloseInstrument(), FT_OK);
}

TEST_F(D2xxLoaderTest, NoDeviceBehindTheLibrary) {
  ASSERT_EQ(Control("no-device"), 0);
  EXPECT_EQ(link.OpenInstrument(), "NotOpen");
  EXPECT_EQ(link.LastDriverStatus(), FT_DEVICE_NOT_FOUND);
}

TEST(D2xxLoader, AMissingLibraryIsNoDevice) {
  D2xxLibrary library("/nonexistent/folder/libftd2xx.so");
  EXPECT_FALSE(library.Loaded());
  EXPECT_FALSE(library.LoadError().empty());
  FakePlatform platform;
  DeviceLink link(library, platform);
  EXPECT_EQ(link.OpenInstrument(), "NotOpen");
  EXPECT_EQ(link.DeviceCount(), 0u);
  EXPECT_EQ(link.LastDriverStatus(), FT_DEVICE_NOT_FOUND);
  EXPECT_EQ("USB Communication error detected! Error String: " +
                DeviceLink::DriverStatusText(link.LastDriverStatus()),
            "USB Communication error detected! Error String: \"Device Not Found\"");
  // Every call answers without touching anything.
  EXPECT_EQ(link.WriteBlock(50), 0u);
  std::vector<uint8_t> buffer(50);
  EXPECT_EQ(link.ReadBlock(buffer), 0u);
  EXPECT_FALSE(link.StartSweep());
  EXPECT_THAT(platform.MessageTexts(), IsEmpty());
}

TEST(D2xxLoader, ALibraryWithoutTheFunctionsIsNoDevice) {
#ifdef _WIN32
  D2xxLibrary library("kernel32.dll");
#else
  D2xxLibrary library("libm.so.6");
#endif
  EXPECT_FALSE(library.Loaded());
  EXPECT_NE(library.LoadError().find("FT_ListDevices"), std::string::npos) << library.LoadError();
  DWORD count = 99;
  EXPECT_EQ(library.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
  EXPECT_EQ(count, 0u);
  FT_HANDLE handle = nullptr;
  char serial[] = "";
  EXPECT_EQ(library.FT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &handle), FT_DEVICE_NOT_FOUND);
}

TEST(D2xxLoader, DefaultName) {
#ifdef _WIN32
  EXPECT_EQ(D2xxLibrary::DefaultLibraryName(), "ftd2xx.dll");
#else
  EXPECT_EQ(D2xxLibrary::DefaultLibraryName(), "libftd2xx.so");
#endif
}

}  // namespace
}  // namespace ostra
