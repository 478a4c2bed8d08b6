// Where the main window was when the program last ended: its place and size
// (when not maximised), whether it was maximised and whether the control
// panel was hidden. Kept in a small per-user text file of its own, one
// "name=value" line each, so the settings file keeps its format.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostra {

struct WindowPlace {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool maximised = false;
  bool control_panel_hidden = false;
  bool operator==(const WindowPlace&) const = default;
};

// The file's text, CR LF line ends.
std::string WindowPlaceText(const WindowPlace& place);
// The place a file's text describes; nothing when a line is missing, a value
// is not a whole number (or 0/1 for the two switches) or the size is not
// that of a window (1 .. 100000 pixels each way). Unknown lines are passed
// over.
std::optional<WindowPlace> ParseWindowPlace(std::string_view text);

// Reading and writing the file: nothing when it is missing or unreadable;
// false when it could not be written (the old file is then kept).
std::optional<WindowPlace> ReadWindowPlace(const std::filesystem::path& file);
bool WriteWindowPlace(const std::filesystem::path& file, const WindowPlace& place);

}  // namespace ostra
