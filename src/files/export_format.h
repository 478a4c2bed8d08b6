// The formats Save Data writes, one row each: what the dialog's filter says,
// the extensions a name of that format ends in, and which writer writes it.
// The name the user gives decides the format where its extension says one;
// otherwise the filter chosen in the dialog does.
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace ostra {

enum class ExportKind { Csv, Touchstone };

struct ExportFormat {
  ExportKind kind;
  const char* description;  // the filter's text before its patterns
  const char* extensions;   // without dots, ';' between them
};

// In the order of the dialog's filters.
std::span<const ExportFormat> ExportFormats();

// The dialog's filter string ("text (*.a *.b)|*.a;*.b|..."), the Touchstone
// extension of `ports` (1 or 2; as 1 otherwise) listed first, so a dialog
// that puts a filter's first extension on the name proposes the one that
// will be written.
std::string ExportFilter(int ports);
// Per filter, the extension given to a name typed without one.
std::vector<std::string> ExportFilterExtensions(int ports);

// What Save Data writes for the name chosen under filter `filter_index`, with
// the last sweep measuring `ports` ports (0 when it is no frequency response).
struct ExportTarget {
  ExportKind kind = ExportKind::Csv;
  std::filesystem::path file;
  std::string note;  // for the log when the name was changed, and why
};
ExportTarget DecideExport(const std::filesystem::path& chosen, int filter_index, int ports);

}  // namespace ostra
