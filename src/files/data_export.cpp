#include "files/data_export.h"

#include "base/atomic_file.h"
#include "base/text_util.h"

namespace ostra {

std::string DataExportLine(double x, double y, double phase) {
  // Adding 0.0 turns -0.0 into 0.0: a zero is written "0.000".
  return FormatFixed(x + 0.0, 3) + "," + FormatFixed(y + 0.0, 3) + "," +
         FormatFixed(phase + 0.0, 3);
}

std::string DataExportText(const ChartModel& chart) {
  const auto& mag = chart.Series(SeriesId::MagDataSeries).points;
  const auto& phase = chart.Series(SeriesId::PhaseDataSeries).points;
  std::string text = kDataExportHeader;
  text += "\r\n";
  for (size_t i = 0; i < mag.size(); ++i) {
    // The phase series gets a point for every magnitude point.
    const double phase_y = i < phase.size() ? phase[i].y : 0.0;
    text += DataExportLine(mag[i].x, mag[i].y, phase_y);
    text += "\r\n";
  }
  return text;
}

void WriteDataExport(const ChartModel& chart, const std::filesystem::path& file) {
  const std::string text = DataExportText(chart);
  AtomicFile out(file);
  out.Write(text);
  out.Commit();
}

std::filesystem::path PictureFileName(const std::filesystem::path& data_file) {
  // Characters as the file system's names count them (UTF-16 units), so a
  // name outside ASCII is neither cut inside a character nor refused.
  std::u16string name = data_file.filename().u16string();
  if (name.size() >= 4) name.resize(name.size() - 4);
  name += u".bmp";
  std::filesystem::path picture = data_file;
  picture.replace_filename(name);
  if (picture == data_file) picture += ".bmp";
  return picture;
}

}  // namespace ostra
