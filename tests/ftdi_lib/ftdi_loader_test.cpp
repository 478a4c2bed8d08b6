// The run-time libftdi1 transport against a stand-in built from the
// simulated instrument, and beside the D2XX loader: a missing library, a
// library without the functions and an instrument unplugged in the middle of
// a sweep give the same results and messages through either.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "device/d2xx_library.h"
#include "device/device_link.h"
#include "device/ftdi_library.h"
#include "device/usb_driver.h"
#include "support/fake_platform.h"

namespace ostra {
namespace {

using testing::FakePlatform;
using ::testing::IsEmpty;

// A stand-in library's own set-up function.
int Control(const char* path, const char* function, const char* command) {
#ifdef _WIN32
  HMODULE module = GetModuleHandleA(path);
  auto* address = module ? GetProcAddress(module, function) : nullptr;
#else
  void* module = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  void* address = module ? dlsym(module, function) : nullptr;
  if (module) dlclose(module);
#endif
  if (!address) return -2;
  using ControlFn = int (*)(const char*);
  ControlFn control = nullptr;
  std::memcpy(&control, &address, sizeof control);
  return control(command);
}

// One of the two libraries, with its stand-in's set-up.
struct Driver {
  UsbDriver kind;
  const char* stand_in;
  const char* control;
};

void PrintTo(const Driver& driver, std::ostream* out) {
  *out << (driver.kind == UsbDriver::D2xx ? "D2XX" : "libftdi1");
}

const Driver kD2xx{UsbDriver::D2xx, OSTRA_TEST_D2XX_PATH, "OstraTestD2xxControl"};
const Driver kFtdi{UsbDriver::Ftdi, OSTRA_TEST_FTDI_PATH, "OstraTestFtdiControl"};

class UsbDriverTest : public ::testing::TestWithParam<Driver> {
 protected:
  UsbDriverChoice Load(const std::string& path) {
    return GetParam().kind == UsbDriver::D2xx ? LoadUsbDriver(UsbDriver::D2xx, path)
                                              : LoadUsbDriver(UsbDriver::Ftdi, "", path);
  }
  int Control(const char* command) {
    return ostra::Control(GetParam().stand_in, GetParam().control, command);
  }
  FakePlatform platform;
};

SweepProgram ThreeSweeps() {
  SweepProgram program;
  program.start_word = 0x0A3D70A4;
  program.step_word = 0x00139022;
  program.points = 21;
  program.sweep_count = 3;
  program.power_word = 405;
  program.freq_word = 0x0A3D70A4;
  program.dwell = 4;
  program.rx_gain_code = 13;
  return program;
}

// The instrument opens, takes frames and streams a sweep (in several
// transfers through libftdi1); unplugged during the next one, the read fails
// with the driver's I/O error and the program's message for it.
TEST_P(UsbDriverTest, SweepsAndReportsAnInstrumentUnpluggedMidSweep) {
  UsbDriverChoice choice = Load(GetParam().stand_in);
  ASSERT_TRUE(choice.loaded) << choice.log_line;
  EXPECT_THAT(choice.log_line, ::testing::HasSubstr("loaded from "));
  ASSERT_EQ(Control("reset"), 0);
  DeviceLink link(*choice.transport, platform);
  ASSERT_EQ(link.OpenInstrument(), "OSTRA VECTOR NETWORK ANALYSER [OS000417]");
  InstrumentIdentity identity{};
  ASSERT_EQ(link.ReadIdentity(identity), 200u);
  EXPECT_EQ(identity[1], 417u);
  ASSERT_EQ(link.ProgramSweep(ThreeSweeps()), 1u);
  const uint32_t expected = 21 * 4 * 3 * 4;
  std::vector<uint8_t> stream(expected);
  {
    std::lock_guard lock(link.ConnectionMutex());
    ASSERT_TRUE(link.StartSweep());
    ASSERT_EQ(link.ReadBlock(stream), expected);
    ASSERT_TRUE(link.StartSweep());
    ASSERT_EQ(Control("unplug"), 0);
    EXPECT_LT(link.ReadBlock(stream), expected);
  }
  EXPECT_EQ(link.LastDriverStatus(), FT_IO_ERROR);
  EXPECT_EQ(link.UsbErrorMessage(),
            "USB Communication error detected! Error String: \"General IO Error\"");
  EXPECT_THAT(platform.MessageTexts(), IsEmpty());
  EXPECT_EQ(link.CloseInstrument(), FT_OK);
  EXPECT_EQ(link.CloseInstrument(), FT_INVALID_HANDLE);
  ASSERT_EQ(Control("reset"), 0);
}

TEST_P(UsbDriverTest, NoDeviceBehindTheLibrary) {
  UsbDriverChoice choice = Load(GetParam().stand_in);
  ASSERT_EQ(Control("reset"), 0);
  ASSERT_EQ(Control("no-device"), 0);
  DeviceLink link(*choice.transport, platform);
  EXPECT_EQ(link.OpenInstrument(), "NotOpen");
  EXPECT_EQ(link.LastDriverStatus(), FT_DEVICE_NOT_FOUND);
  ASSERT_EQ(Control("reset"), 0);
}

// A library that is not there, or that lacks the functions, is no device:
// the same status, the same message, nothing shown, every call harmless.
TEST_P(UsbDriverTest, AMissingOrForeignLibraryIsNoDevice) {
#ifdef _WIN32
  const std::string foreign = "kernel32.dll";
#else
  const std::string foreign = "libm.so.6";
#endif
  for (const std::string& path : {std::string("/nonexistent/folder/libusb-driver.so"), foreign}) {
    UsbDriverChoice choice = Load(path);
    EXPECT_FALSE(choice.loaded);
    EXPECT_THAT(choice.log_line, ::testing::StartsWith("No USB library: "));
    if (path == foreign) {
      EXPECT_THAT(choice.log_line, ::testing::HasSubstr(" lacks "));
    }
    DeviceLink link(*choice.transport, platform);
    EXPECT_EQ(link.OpenInstrument(), "NotOpen");
    EXPECT_EQ(link.DeviceCount(), 0u);
    EXPECT_EQ(link.UsbErrorMessage(),
              "USB Communication error detected! Error String: \"Device Not Found\"");
    EXPECT_EQ(link.WriteBlock(50), 0u);
    std::vector<uint8_t> buffer(50);
    EXPECT_EQ(link.ReadBlock(buffer), 0u);
    EXPECT_FALSE(link.StartSweep());
  }
  EXPECT_THAT(platform.MessageTexts(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, UsbDriverTest, ::testing::Values(kD2xx, kFtdi),
                         [](const auto& info) {
                           return std::string(info.param.kind == UsbDriver::D2xx ? "D2xx" : "Ftdi");
                         });

// auto takes D2XX when it loads, else libftdi1, and says which in the log.
TEST(UsbDriverChoice, AutoPrefersD2xxAndFallsBackToLibftdi1) {
  EXPECT_EQ(ParseUsbDriver("auto"), UsbDriver::Auto);
  EXPECT_EQ(ParseUsbDriver("ftdi"), UsbDriver::Ftdi);
  EXPECT_EQ(ParseUsbDriver("d2xx"), UsbDriver::D2xx);
  EXPECT_EQ(ParseUsbDriver("FTDI"), std::nullopt);

  UsbDriverChoice both = LoadUsbDriver(UsbDriver::Auto, OSTRA_TEST_D2XX_PATH, OSTRA_TEST_FTDI_PATH);
  ASSERT_TRUE(both.loaded);
  EXPECT_NE(dynamic_cast<D2xxLibrary*>(both.transport.get()), nullptr);
  EXPECT_THAT(both.log_line, ::testing::HasSubstr(OSTRA_TEST_D2XX_PATH));

  UsbDriverChoice fallback =
      LoadUsbDriver(UsbDriver::Auto, "/nonexistent/libftd2xx.so", OSTRA_TEST_FTDI_PATH);
  ASSERT_TRUE(fallback.loaded);
  EXPECT_NE(dynamic_cast<FtdiLibrary*>(fallback.transport.get()), nullptr);
  // Where from: the file the system found, in its own spelling.
  EXPECT_THAT(fallback.log_line, ::testing::StartsWith(std::string("USB library ") +
                                                       OSTRA_TEST_FTDI_PATH + " loaded from "));
  EXPECT_THAT(fallback.log_line,
              ::testing::EndsWith(std::filesystem::path(OSTRA_TEST_FTDI_PATH).filename().string()));

  UsbDriverChoice none = LoadUsbDriver(UsbDriver::Auto, "/nonexistent/a.so", "/nonexistent/b.so");
  EXPECT_FALSE(none.loaded);
  EXPECT_THAT(none.log_line, ::testing::HasSubstr("/nonexistent/a.so"));
  EXPECT_THAT(none.log_line, ::testing::HasSubstr("/nonexistent/b.so"));
  ASSERT_NE(none.transport, nullptr);
}

}  // namespace
}  // namespace ostra
