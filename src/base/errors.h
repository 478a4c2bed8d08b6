// The two runtime errors that handlers do not catch themselves: the handler
// boundary of the Analyser shows their text in the generic error box.
#pragma once

#include <stdexcept>
#include <string>

namespace ostra {

// A file could not be created, opened, read or written.
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A text that should hold a number does not, or a line lacks a field.
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace ostra
