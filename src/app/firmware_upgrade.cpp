#include "app/firmware_upgrade.h"

#include <fstream>
#include <system_error>
#include <vector>

#include "app/analyser.h"
#include "app/app_shell.h"
#include "base/errors.h"
#include "base/file_text.h"
#include "base/text_util.h"
#include "device/device_link.h"
#include "device/protocol.h"
#include "firmware/hex_image.h"
#include "firmware/hex_split.h"
#include "firmware/sector_file.h"
#include "firmware/sector_map.h"

namespace ostra {

namespace {

constexpr std::string_view kListingFile = "out.txt";
constexpr std::string_view kCodeStartLine = "003F7FF6";
constexpr size_t kCodeStartWords = 10;
constexpr size_t kCodeStartReadBackFirst = 118;  // of the 128 words read back
constexpr std::string_view kNoReplyText = "Did not recive 2 data bytes";
constexpr std::string_view kStillPrevious = "The instrument still holds its previous firmware.";
constexpr std::string_view kTracePrefix = "Firmware upgrade: ";

std::string Letter(char letter) { return std::string(1, letter); }

bool FileExists(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::filesystem::path FirmwareUpgrade::Directory() const { return app_.AppDirectory(); }

// --- The menu entry ----------------------------------------------------------

void FirmwareUpgrade::FirmwareUpgrade1Click() {
  // Never while another command holds the instrument (a calibration's
  // prompts and captures let the menus work).
  if (!app_.Owner().Ask("Firmware Upgrade")) return;
  app_.Guard([&] {
    Platform& host = app_.Host();
    FileDialogRequest request;
    request.filter = std::string(kFilter);
    std::error_code ec;
    const std::filesystem::path firmware_folder{std::string(kFirmwareFolder)};
    request.initial_dir =
        std::filesystem::is_directory(firmware_folder, ec) ? firmware_folder : app_.DataDirectory();
    const auto hex_file = host.RunFileDialog(request);
    if (!hex_file) return;
    if (host.ShowMessage("About to Update Firmware. Do you want to continue?", MessageKind::Plain,
                         MessageButtons::YesCancel) != MessageResult::Yes) {
      host.SetStatusText("Firmware update cancelled");
      return;
    }
    const std::optional<std::string> image = AcceptImage(*hex_file);
    if (!image) return;
    app_.Sweep().Stop();
    ProgramImage(*image);
  });
}

std::optional<std::string> FirmwareUpgrade::AcceptImage(const std::filesystem::path& hex_file) {
  // The first line decides whether the file is an image at all, before the
  // whole file is read: a large file of something else is not recognised.
  // A file that cannot be opened is reported by the read below.
  std::ifstream first(hex_file, std::ios::binary);
  char mark = 0;
  if (first && !(first.get(mark) && mark == ':')) {
    app_.Host().ShowMessage("File is not recognised. Aborting ...");
    return std::nullopt;
  }
  first.close();
  std::string content = ReadTextFile(hex_file, kMaxHexImageBytes);
  Trace("image " + hex_file.string() + ", " + std::to_string(content.size()) + " bytes");
  // Nothing is erased before the whole image has been found sound.
  if (const auto problem = ValidateHexImage(content)) {
    app_.Host().ShowMessage(problem->Text(), MessageKind::Error);
    WriteLog(problem->Text());
    return std::nullopt;
  }
  Trace("image accepted");
  return content;
}

// --- The sequence ------------------------------------------------------------

void FirmwareUpgrade::ProgramFirmware(const std::filesystem::path& hex_file) {
  ProgramImage(ReadTextFile(hex_file, kMaxHexImageBytes));
}

// The image as it was read and validated: the bytes split into the sector
// files are the bytes that were checked.
void FirmwareUpgrade::ProgramImage(const std::string& image) {
  struct Running {
    std::optional<InstrumentOwner::Claim>& claim;
    ~Running() { claim.reset(); }
  };
  claim_.emplace(app_.Owner().Take(InstrumentUse::Upgrading));
  Running running{claim_};

  SetProgressPosition(kProgressMin);
  ShowProgress(true);
  ShowStep("");
  ShowStep("Processing HEX file");
  if (!SplitImage(image)) return;
  // The code start is written only once every staging sector holds exactly
  // what the copy must install: a new entry point over the old program may
  // leave an instrument that does not start.
  for (const UpgradePass& pass : kUpgradePasses) {
    if (!RunPass(pass)) {
      Failed("Verification failed");
      return;
    }
  }
  // The start address in force, written back should the copy be refused.
  const std::optional<CodeStart> previous = ReadCodeStartWords();
  if (!previous) {
    Failed("The instrument did not report its start address.");
    return;
  }
  Platform& host = app_.Host();
  if (!CheckCodeStart()) {
    Trace("the code start did not verify");
    StartAddressWrittenBack(*previous, "Code Start Verification failed");
    return;
  }
  Trace("code start verified");
  if (!CopyStagedImage(*previous)) return;
  Trace("updated");
  host.ShowMessage(
      "Firmware updated... Please power cycle Ostra by unplugging and plugging USB cable and "
      "restart application software");
  EndAfterUpgrade();
}

bool FirmwareUpgrade::SplitImage(const std::string& image) {
  // A sector file of an earlier image that stays behind would be staged as
  // if the new image held it.
  if (const auto stale = RemoveSectorFiles(Directory())) {
    Failed("The sector file " + stale->string() +
           " of an earlier upgrade cannot be removed; nothing was erased.");
    return false;
  }
  SplitHexText(image, Directory());
  return true;
}

bool FirmwareUpgrade::RunPass(const UpgradePass& pass) {
  const FlashSector& source = *SectorByLetter(pass.source);
  const FlashSector& staging = *SectorByLetter(pass.staging);
  const std::string name =
      "sector " + Letter(source.letter) + " staged in sector " + Letter(staging.letter) + ": ";
  const bool has_image = FileExists(Directory() / source.file_name);
  if (!has_image && pass.required) {
    Trace(name + "failed, the image holds no data for it");
    return false;
  }
  // The copy reads every staging sector: one the image has no data for is
  // erased all the same, so nothing of an earlier upgrade is installed.
  const std::string letter = Letter(staging.letter);
  ShowStep("Erasing Sector " + letter + ".. please wait");
  if (!EraseSectorChecked(letter)) {
    Trace(name + "failed, the erase was not confirmed");
    return false;
  }
  ShowStep("Erasing complete");
  if (has_image &&
      !WriteSectorFromFile(letter, Letter(source.letter), Directory() / source.file_name)) {
    Trace(name + "failed, a write was not confirmed");
    return false;
  }
  const bool verified = VerifyPass(pass, has_image);
  Trace(name + (verified ? (has_image ? "verified" : "no data, erased and verified blank")
                         : "failed, the read-back does not match"));
  return verified;
}

bool FirmwareUpgrade::VerifyPass(const UpgradePass& pass, bool has_image) {
  const FlashSector& source = *SectorByLetter(pass.source);
  const FlashSector& staging = *SectorByLetter(pass.staging);
  const std::filesystem::path read_back_file = Directory() / staging.file_name;
  const std::string letter = Letter(staging.letter);
  ShowStep("Reading data from Sector " + letter);
  const bool read = ReadSectorToFile(letter, read_back_file);
  ShowStep(std::string(pass.reading_complete));
  if (!read) return false;
  bool same = true;
  if (has_image) {
    same = CompareSectorFiles(source.base, staging.base, Directory() / source.file_name,
                              read_back_file, Directory() / kListingFile);
  } else {
    for (const SectorLine& line : ReadSectorFile(read_back_file)) {
      for (uint16_t word : line.words) same = same && word == 0xFFFF;
    }
  }
  ShowStep(same ? "Data Verified" : "Data does not match");
  return same;
}

bool FirmwareUpgrade::CopyStagedImage(const CodeStart& previous) {
  ShowStep("Copying image to main frame.. please wait.");
  SetProgressPosition(kProgressMin);
  app_.Host().ProcessMessages();
  // A refusal means nothing was copied. No reply at all is taken as done:
  // the instrument may reset while it copies.
  const FlashReply reply = app_.Link().CopyImage();
  if (reply.count == 1 &&
      (reply.first == kReplyChecksumError || reply.first == kReplyUnexpectedData)) {
    Trace("the instrument refused the copy (reply 0x" + FormatHex(reply.first, 2) + ")");
    StartAddressWrittenBack(previous,
                            "The instrument refused to copy the new firmware: nothing was copied.");
    return false;
  }
  Delay(kCopyWaitMs);
  SetProgressPosition(kProgressMax);
  app_.Host().ProcessMessages();
  return true;
}

void FirmwareUpgrade::StartAddressWrittenBack(const CodeStart& previous, const std::string& what) {
  app_.Link().WriteCodeStart(previous);
  if (ReadCodeStartWords() == previous) {
    Failed(what + "\nIts previous start address was written back.");
    return;
  }
  Trace("failed: the previous start address could not be written back");
  app_.Host().ShowMessage(what +
                          "\nDo not power cycle the instrument; run Firmware Upgrade again.");
}

void FirmwareUpgrade::Failed(const std::string& what) {
  Trace("failed: the instrument still holds its previous firmware");
  app_.Host().ShowMessage(what + "\n" + std::string(kStillPrevious));
}

void FirmwareUpgrade::Trace(const std::string& text) { WriteLog(std::string(kTracePrefix) + text); }

void FirmwareUpgrade::WriteLog(const std::string& text) {
  try {
    app_.Log().WriteLog(text);
  } catch (const IoError&) {
    // The flash sequence goes on without its trace.
  }
}

void FirmwareUpgrade::EndAfterUpgrade() {
  ShowProgress(false);
  claim_.reset();  // the upgrade is over: the close below is not refused
  // The main window's close: the sweep stops, the settings are saved, the
  // splash window closes and the program ends.
  app_.Shell().FormClose();
}

// --- The steps -----------------------------------------------------------------

bool FirmwareUpgrade::EraseSectorChecked(const std::string& letter) {
  DeviceLink& link = app_.Link();
  const FlashReply reply = link.EraseSector(letter);
  if (reply.count != 2) {
    app_.Host().ShowMessage(std::string(kNoReplyText));
    return false;
  }
  if (reply.status != 0) {
    app_.Host().ShowMessage(link.FlashStatusName(reply.status));
    return false;
  }
  return true;
}

bool FirmwareUpgrade::WriteSectorFromFile(const std::string& staging, const std::string& source,
                                          const std::filesystem::path& image_file) {
  const FlashSector* sector = SectorByLetter(source);
  SetProgressPosition(kProgressMin);
  const std::vector<SectorLine> lines = ReadSectorFile(image_file);
  bool written = sector != nullptr;
  for (const SectorLine& line : lines) {
    if (!written) break;
    written = WriteLine(staging, *sector, line);
  }
  app_.Host().SetStatusText("Sector " + staging + "writing complete");
  SetProgressPosition(kProgressMax);
  return written;
}

bool FirmwareUpgrade::WriteLine(const std::string& staging, const FlashSector& source,
                                const SectorLine& line) {
  Platform& host = app_.Host();
  DeviceLink& link = app_.Link();
  const int64_t offset = int64_t{line.address} - int64_t{source.base};
  const auto words = static_cast<int64_t>(line.words.size());
  if (offset < 0 || offset + words > int64_t{kFlashSectorWords}) {
    host.ShowMessage("The words at 0x" + FormatHex(line.address, 8) + " lie outside sector " +
                     Letter(source.letter) + "; writing stopped");
    return false;
  }
  // A frame carries at most 16 words: a longer line goes as several writes.
  for (int64_t first = 0; first < words; first += kMaxWriteWords) {
    const int64_t n = std::min<int64_t>(kMaxWriteWords, words - first);
    const auto at = static_cast<uint16_t>(offset + first);
    host.SetStatusText("Writing " + std::to_string(n) + " WORDS to Sector " + staging +
                       " at address offset of 0x" + FormatHex(at, 4));
    StepProgress();
    host.ProcessMessages();
    const std::vector<uint16_t> chunk(line.words.begin() + first, line.words.begin() + first + n);
    const FlashReply reply = link.WriteSectorWords(staging, at, chunk);
    if (reply.count != 2) {
      host.ShowMessage(std::string(kNoReplyText));
      return false;
    }
    const uint8_t status = reply.status;
    if (status != 0) {
      host.ShowMessage("Error while writing offset_adr 0x" + FormatHex(at + 1u, 4) + ": " +
                       link.FlashStatusName(status));
      return false;
    }
  }
  return true;
}

bool FirmwareUpgrade::ReadSectorToFile(const std::string& letter,
                                       const std::filesystem::path& file) {
  const FlashSector* sector = SectorByLetter(letter);
  if (sector == nullptr) {
    app_.Host().ShowMessage("Invalid Sector name: " + letter);
    return false;
  }
  // A read that failed leaves no file: words never read are not written as data.
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  SectorWords words{};
  if (app_.Link().ReadSector(letter, words) != kSectorReplyBytes) return false;
  WriteReadBackFile(file, sector->base, words);
  return true;
}

bool FirmwareUpgrade::CheckCodeStart() {
  const std::filesystem::path file = Directory() / SectorByLetter('A')->file_name;
  const std::string content = ReadTextFile(file, kMaxHexImageBytes);
  std::array<uint32_t, kCodeStartWords> words;
  words.fill(0xFFFF);
  bool found = false;
  for (std::string_view line : SplitLines(content)) {
    if (line.substr(0, kCodeStartLine.size()) != kCodeStartLine) continue;
    const SectorLine code_start = ParseSectorLine(line);
    if (code_start.words.size() < 2) return false;
    words[0] = code_start.words[0];
    words[1] = code_start.words[1];
    found = true;
    break;
  }
  if (!found) return false;
  app_.Link().WriteCodeStart(words);
  return ReadCodeStartWords() == words;
}

std::optional<FirmwareUpgrade::CodeStart> FirmwareUpgrade::ReadCodeStartWords() {
  std::array<uint32_t, 128> read_back{};
  if (app_.Link().ReadCodeStart(read_back) != kCodeStartReplyBytes) return std::nullopt;
  CodeStart words;
  std::copy_n(read_back.begin() + kCodeStartReadBackFirst, kCodeStartWords, words.begin());
  return words;
}

// --- Status bar, progress bar, waiting -------------------------------------------

void FirmwareUpgrade::ShowStep(const std::string& text) {
  app_.Host().SetStatusText(text);
  app_.Host().ProcessMessages();
}

void FirmwareUpgrade::Delay(int ms) {
  Platform& host = app_.Host();
  const uint32_t start = host.TickCount();
  for (;;) {
    const uint32_t elapsed = host.TickCount() - start;  // wraps with the tick count
    if (elapsed >= static_cast<uint32_t>(ms)) break;
    host.WaitForEvents(ms - static_cast<int>(elapsed));
  }
}

void FirmwareUpgrade::ShowProgress(bool visible) {
  progress_visible_ = visible;
  app_.Host().SetProgress(progress_visible_, progress_position_);
}

void FirmwareUpgrade::SetProgressPosition(int position) {
  progress_position_ = position;
  app_.Host().SetProgress(progress_visible_, progress_position_);
}

void FirmwareUpgrade::StepProgress() {
  // As the Windows progress bar steps: past the maximum it starts again at
  // the minimum.
  int position = progress_position_ + kProgressStep;
  if (position > kProgressMax) position = kProgressMin;
  SetProgressPosition(position);
}

}  // namespace ostra
