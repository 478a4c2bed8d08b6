#include "base/window_place.h"

#include <array>
#include <charconv>
#include <system_error>

#include "base/atomic_file.h"
#include "base/errors.h"
#include "base/file_text.h"

namespace ostra {

namespace {

constexpr size_t kMostBytes = 4096;
constexpr int kLargestSide = 100000;
constexpr int kFarthest = 1000000;

std::optional<int> WholeNumber(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  return text;
}

}  // namespace

std::string WindowPlaceText(const WindowPlace& place) {
  return "left=" + std::to_string(place.left) + "\r\ntop=" + std::to_string(place.top) +
         "\r\nwidth=" + std::to_string(place.width) + "\r\nheight=" + std::to_string(place.height) +
         "\r\nmaximised=" + (place.maximised ? "1" : "0") +
         "\r\ncontrol_panel_hidden=" + (place.control_panel_hidden ? "1" : "0") + "\r\n";
}

std::optional<WindowPlace> ParseWindowPlace(std::string_view text) {
  static constexpr std::array<std::string_view, 6> kNames = {
      "left", "top", "width", "height", "maximised", "control_panel_hidden"};
  std::array<std::optional<int>, 6> values{};
  while (!text.empty()) {
    const size_t end = text.find_first_of("\r\n");
    const std::string_view line = Trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    for (size_t i = 0; i < kNames.size(); ++i) {
      if (Trimmed(line.substr(0, equals)) == kNames[i]) {
        values[i] = WholeNumber(Trimmed(line.substr(equals + 1)));
      }
    }
  }
  for (const auto& value : values) {
    if (!value) return std::nullopt;
  }
  WindowPlace place{*values[0], *values[1],      *values[2],
                    *values[3], *values[4] == 1, *values[5] == 1};
  const bool switches =
      (*values[4] == 0 || *values[4] == 1) && (*values[5] == 0 || *values[5] == 1);
  const bool size = place.width >= 1 && place.width <= kLargestSide && place.height >= 1 &&
                    place.height <= kLargestSide;
  const bool near = place.left > -kFarthest && place.left < kFarthest && place.top > -kFarthest &&
                    place.top < kFarthest;
  if (!switches || !size || !near) return std::nullopt;
  return place;
}

std::optional<WindowPlace> ReadWindowPlace(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  try {
    return ParseWindowPlace(ReadTextFile(file, kMostBytes));
  } catch (const IoError&) {
    return std::nullopt;
  }
}

bool WriteWindowPlace(const std::filesystem::path& file, const WindowPlace& place) {
  try {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    AtomicFile out(file);
    out.Write(WindowPlaceText(place));
    out.Commit();
    return true;
  } catch (const IoError&) {
    return false;
  }
}

}  // namespace ostra
