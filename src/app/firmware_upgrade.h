// The Help menu's "Firmware Upgrade": a HEX image is checked as a whole, cut
// into sector files, and the instrument's flash programmed from them. The
// image's sectors H, G and F are staged into the instrument's sectors E, D
// and C, each erased, written, read back and compared with the image (a
// staging sector the image has no data for is erased and must read back
// blank, as the copy reads all three); only when every pass has verified
// are the code-start words written and checked; then the instrument copies
// the staged image over its program and the program ends. Any failure stops
// the sequence before the code start is touched, so the instrument keeps
// its previous firmware. Every step shows on the status bar and the
// progress bar, and the log keeps the image, each pass and the outcome.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/instrument_owner.h"

namespace ostra {

class Analyser;
struct FlashSector;
struct SectorLine;

// One pass of the upgrade: the image's sector staged into another sector.
struct UpgradePass {
  char source;                        // 'H': the image's sector, and its file
  char staging;                       // 'E': erased, written, read back
  bool required;                      // without the image file the pass fails
  std::string_view reading_complete;  // "Reading complete"
};

inline constexpr std::array<UpgradePass, 3> kUpgradePasses = {{
    {'H', 'E', true, "Reading complete"},
    {'G', 'D', false, "Reading complete."},
    {'F', 'C', false, "Reading complete."},
}};

class FirmwareUpgrade {
 public:
  // Where the open dialog starts when this folder exists (the firmware
  // project's build folder); otherwise the data directory.
  static constexpr std::string_view kFirmwareFolder =
      "C:\\Ostra firmware\\workspace\\Ostra_v1\\Debug\\";
  static constexpr std::string_view kFilter = "Firmware image (*.hex)|*.hex";
  // The instrument copies the staged image in this time after CopyImage.
  static constexpr int kCopyWaitMs = 5000;
  // ProgressBar1: minimum, maximum and step.
  static constexpr int kProgressMin = 0;
  static constexpr int kProgressMax = 100;
  static constexpr int kProgressStep = 1;

  explicit FirmwareUpgrade(Analyser& app) : app_(app) {}

  // --- Handlers -------------------------------------------------------------
  // The menu entry: open dialog, confirmation, the image checked, the sweep
  // stopped, the upgrade.
  void FirmwareUpgrade1Click();
  // The sequence on a HEX image (the caller has checked it).
  void ProgramFirmware(const std::filesystem::path& hex_file);

  // --- The steps ------------------------------------------------------------
  // EraseSector with its status shown; true when the instrument answered
  // with a success status.
  bool EraseSectorChecked(const std::string& letter);
  // Writes the image file of sector `source` into sector `staging`, words
  // keeping their offsets from the source sector's base; stops at the first
  // failed write and then returns false.
  bool WriteSectorFromFile(const std::string& staging, const std::string& source,
                           const std::filesystem::path& image_file);
  // Reads a sector into a read-back file. When the read fails, no file is
  // left there and the result is false.
  bool ReadSectorToFile(const std::string& letter, const std::filesystem::path& file);
  // Writes the code-start words of the image's sector A file and checks
  // them in words 118 to 127 of the 128 read back.
  bool CheckCodeStart();

  // An upgrade is running: the sweep is not restarted and the menu entry
  // does nothing until it has ended.
  bool InProgress() const { return claim_.has_value(); }

 private:
  // The ten code-start words (read back in words 118 to 127 of 128).
  using CodeStart = std::array<uint32_t, 10>;
  std::optional<CodeStart> ReadCodeStartWords();
  std::filesystem::path Directory() const;
  bool RunPass(const UpgradePass& pass);
  // The read-back of a pass against its image file, or against the erased
  // state when the image has no data for the pass.
  bool VerifyPass(const UpgradePass& pass, bool has_image);
  // Removes the sector files of an earlier upgrade and splits the image;
  // false (after its message) when an old file stays behind.
  bool SplitImage(const std::string& image);
  // Sends CopyImage; false (after its message) when the instrument refused it.
  // `previous` is written back when the instrument refused the copy.
  bool CopyStagedImage(const CodeStart& previous);
  // After a new start address was written: `previous` written back and
  // checked, then `what` in a message box with the instrument's state.
  void StartAddressWrittenBack(const CodeStart& previous, const std::string& what);
  // A failed upgrade: `what` in a message box with the instrument's state,
  // and the outcome in the log.
  void Failed(const std::string& what);
  // A line of the upgrade's trace in the log; a log that cannot be written
  // does not stop the sequence.
  void Trace(const std::string& text);
  void WriteLog(const std::string& text);
  // One line of an image file, in writes of at most 16 words; false when a
  // write failed (after its message).
  bool WriteLine(const std::string& staging, const FlashSector& source, const SectorLine& line);
  // The first-line check and the whole image's; false after its message.
  // The image's text when it may be programmed; nullopt after the message
  // that says why not.
  std::optional<std::string> AcceptImage(const std::filesystem::path& hex_file);
  void ProgramImage(const std::string& image);
  void EndAfterUpgrade();
  // Sets the status bar's text and lets the window draw it.
  void ShowStep(const std::string& text);
  // Waits while processing window messages until the tick count has
  // advanced by `ms`.
  void Delay(int ms);
  // ProgressBar1.
  void ShowProgress(bool visible);
  void SetProgressPosition(int position);
  void StepProgress();

  Analyser& app_;
  // The instrument is held for the upgrade from the first step to the last.
  std::optional<InstrumentOwner::Claim> claim_;
  bool progress_visible_ = false;
  int progress_position_ = kProgressMin;
};

}  // namespace ostra
