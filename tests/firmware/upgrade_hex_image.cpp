// Upgrades the simulated instrument from a HEX image through Help > Firmware
// Upgrade (the image chosen in the dialog, Yes answered) and prints what
// happened, for the cross-check against an independent Intel HEX library:
//   MESSAGE <text>         each message box, in order
//   FRAME <hex bytes>      each flash command frame, L to the last argument
//   FLASH <letter> <hex>   the instrument's sectors H, G and F afterwards
// The sector files are copied into the output folder.
//
//   upgrade_hex_image IMAGE.hex OUTPUT_FOLDER
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/firmware_upgrade.h"
#include "base/text_util.h"
#include "firmware/sector_map.h"
#include "support/analyser_rig.h"
#include "support/frame_recorder.h"

using namespace ostra;

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string text;
  for (uint8_t b : bytes) text += FormatHex(b, 2);
  return text;
}

void CopySectorFiles(const std::filesystem::path& from, const std::filesystem::path& to) {
  for (const FlashSector& sector : kFlashSectors) {
    const std::filesystem::path file = from / sector.file_name;
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) continue;
    std::filesystem::copy_file(file, to / sector.file_name,
                               std::filesystem::copy_options::overwrite_existing);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: upgrade_hex_image IMAGE.hex OUTPUT_FOLDER\n");
    return 1;
  }
  testing::FrameRecorder recorder;
  testing::AnalyserRig rig(true, &recorder);
  recorder.inner = &rig.sim;
  rig.sim.SetNoise(0.0);
  // The log goes where the program would keep it, in the rig's folder.
  std::filesystem::create_directories(rig.DataDir());
  rig.analyser->Log().SetDataDirectory(rig.DataDir());
  rig.analyser->Link().OpenInstrument();
  rig.platform.ClearMessages();
  recorder.Clear();

  rig.platform.file_dialog_answers.push_back(std::filesystem::absolute(argv[1]));
  rig.platform.answers.push_back(MessageResult::Yes);
  rig.analyser->Upgrade().FirmwareUpgrade1Click();

  for (const std::string& text : rig.platform.MessageTexts()) {
    std::printf("MESSAGE %s\n", text.c_str());
  }
  for (const auto& frame : recorder.FlashFrames()) std::printf("FRAME %s\n", Hex(frame).c_str());
  for (char letter : {'H', 'G', 'F'}) {
    std::string words;
    for (uint16_t w : rig.sim.SectorWords(SectorByLetter(letter)->code)) words += FormatHex(w, 4);
    std::printf("FLASH %c %s\n", letter, words.c_str());
  }
  CopySectorFiles(rig.app, argv[2]);
  return 0;
}
