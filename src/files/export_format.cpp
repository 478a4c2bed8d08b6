#include "files/export_format.h"

#include <array>

#include "base/text_util.h"
#include "files/touchstone.h"

namespace ostra {

namespace {

constexpr std::array<ExportFormat, 2> kFormats = {{
    {ExportKind::Csv, "Comma delimited data", "csv"},
    {ExportKind::Touchstone, "Touchstone", "s1p;s2p"},
}};

// A format's extensions, the one for `ports` first.
std::vector<std::string> Extensions(const ExportFormat& format, int ports) {
  std::vector<std::string> list;
  const std::string text = format.extensions;
  size_t start = 0;
  for (size_t end = text.find(';'); start <= text.size(); end = text.find(';', start)) {
    if (end == std::string::npos) end = text.size();
    list.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (format.kind == ExportKind::Touchstone && ports == 2) std::swap(list.front(), list.back());
  return list;
}

std::string Joined(const std::vector<std::string>& list, const char* prefix, const char* between) {
  std::string text;
  for (const std::string& extension : list) {
    if (!text.empty()) text += between;
    text += prefix + extension;
  }
  return text;
}

const ExportFormat* FormatWithExtension(const std::string& extension) {
  for (const ExportFormat& format : kFormats) {
    for (const std::string& own : Extensions(format, 1)) {
      if (ToUpper("." + own) == ToUpper(extension)) return &format;
    }
  }
  return nullptr;
}

const char* PortsReason(int ports) {
  return ports == 2 ? "a transmission sweep measures S21, written as a two-port file"
                    : "a reflection sweep measures S11, written as a one-port file";
}

}  // namespace

std::span<const ExportFormat> ExportFormats() { return kFormats; }

std::string ExportFilter(int ports) {
  std::string filter;
  for (const ExportFormat& format : kFormats) {
    const std::vector<std::string> list = Extensions(format, ports);
    if (!filter.empty()) filter += "|";
    filter += std::string(format.description) + " (" + Joined(list, "*.", " ") + ")|" +
              Joined(list, "*.", ";");
  }
  return filter;
}

std::vector<std::string> ExportFilterExtensions(int ports) {
  std::vector<std::string> first;
  for (const ExportFormat& format : kFormats) first.push_back(Extensions(format, ports).front());
  return first;
}

ExportTarget DecideExport(const std::filesystem::path& chosen, int filter_index, int ports) {
  ExportTarget target;
  target.file = chosen;
  const std::string extension = chosen.extension().string();
  if (const ExportFormat* named = FormatWithExtension(extension)) {
    target.kind = named->kind;
  } else {
    const size_t k = filter_index >= 0 ? static_cast<size_t>(filter_index) : 0;
    target.kind = kFormats[k < kFormats.size() ? k : 0].kind;
    if (target.kind == ExportKind::Touchstone && extension.empty() && ports > 0) {
      target.file += "." + TouchstoneExtension(ports);
    }
    return target;
  }
  if (target.kind == ExportKind::Touchstone && ports > 0) {
    target.file = WithTouchstoneExtension(chosen, ports);
    if (target.file != chosen) {
      target.note = chosen.filename().string() + " saved as " + target.file.filename().string() +
                    ": " + PortsReason(ports);
    }
  }
  return target;
}

}  // namespace ostra
