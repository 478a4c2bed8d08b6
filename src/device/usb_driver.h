// The choice of USB library for the instrument: the vendor's D2XX library,
// the open libftdi1, or (the default) D2XX when it loads and libftdi1 else.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "device/transport.h"

namespace ostra {

enum class UsbDriver { D2xx, Ftdi, Auto };

// "d2xx", "ftdi" or "auto"; nullopt for anything else.
std::optional<UsbDriver> ParseUsbDriver(std::string_view text);

struct UsbDriverChoice {
  // Never null: with no library loaded, a transport that finds no device.
  std::unique_ptr<Transport> transport;
  // For the log: which library was loaded and from where, or why none was.
  std::string log_line;
  bool loaded = false;
};

// Loads the library `driver` asks for; `d2xx_path` and `ftdi_path` name the
// files ("" for the usual names).
UsbDriverChoice LoadUsbDriver(UsbDriver driver, const std::string& d2xx_path,
                              const std::string& ftdi_path = "");

}  // namespace ostra
