// The data export: the trace on the chart as comma-separated text. Line 1 is
// "Frequency,Mag,Phase"; then, per point of MagDataSeries in series order,
// its X and Y values and the Y value of the PhaseDataSeries point with the
// same index, each with three decimals and a point as decimal separator
// whatever the locale (a comma would make the file ambiguous). CR LF ends
// every line. The picture of the window goes beside it.
#pragma once

#include <filesystem>
#include <string>

#include "display/chart_model.h"

namespace ostra {

inline constexpr const char* kDataExportHeader = "Frequency,Mag,Phase";

// One point's line, without its end: "%1.3f,%1.3f,%1.3f".
std::string DataExportLine(double x, double y, double phase);
// The whole file.
std::string DataExportText(const ChartModel& chart);
// Writes it through a temporary file and a rename, so a full disk never
// leaves half a file under the chosen name; raises IoError.
void WriteDataExport(const ChartModel& chart, const std::filesystem::path& file);

// The picture's name: the export's file name with its last four characters
// replaced by ".bmp" (result.csv gives result.bmp). The rule works on the
// file name only, so the picture always lands in the export's folder, and a
// picture never takes the export's own name.
std::filesystem::path PictureFileName(const std::filesystem::path& data_file);

}  // namespace ostra
