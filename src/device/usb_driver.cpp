#include "device/usb_driver.h"

#include "device/d2xx_library.h"
#include "device/ftdi_library.h"

namespace ostra {

namespace {

template <typename Library>
std::unique_ptr<Library> Load(const std::string& path) {
  return path.empty() ? std::make_unique<Library>() : std::make_unique<Library>(path);
}

template <typename Library>
std::string LoadedLine(const Library& library) {
  return "USB library " + library.Path() + " loaded from " + library.LoadedFrom();
}

}  // namespace

std::optional<UsbDriver> ParseUsbDriver(std::string_view text) {
  if (text == "d2xx") return UsbDriver::D2xx;
  if (text == "ftdi") return UsbDriver::Ftdi;
  if (text == "auto") return UsbDriver::Auto;
  return std::nullopt;
}

UsbDriverChoice LoadUsbDriver(UsbDriver driver, const std::string& d2xx_path,
                              const std::string& ftdi_path) {
  UsbDriverChoice choice;
  std::string d2xx_error;
  if (driver != UsbDriver::Ftdi) {
    auto d2xx = Load<D2xxLibrary>(d2xx_path);
    if (d2xx->Loaded() || driver == UsbDriver::D2xx) {
      choice.loaded = d2xx->Loaded();
      choice.log_line = d2xx->Loaded() ? LoadedLine(*d2xx) : "No USB library: " + d2xx->LoadError();
      choice.transport = std::move(d2xx);
      return choice;
    }
    d2xx_error = d2xx->LoadError();
  }
  auto ftdi = Load<FtdiLibrary>(ftdi_path);
  choice.loaded = ftdi->Loaded();
  if (ftdi->Loaded()) {
    choice.log_line = LoadedLine(*ftdi);
  } else {
    choice.log_line =
        "No USB library: " + (d2xx_error.empty() ? "" : d2xx_error + "; ") + ftdi->LoadError();
  }
  choice.transport = std::move(ftdi);
  return choice;
}

}  // namespace ostra
