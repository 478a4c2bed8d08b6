// The front panel's soft keys: which action each carries, its caption,
// whether it is shown and whether its frame is lit.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace ostra {

struct SoftKey {
  std::string caption;
  std::string action;  // the action's name ("Transmission"), empty when none
  bool visible = true;
  bool lit = false;
};

class FrontPanel {
 public:
  static constexpr int kSoftKeys = 7;

  FrontPanel();

  const SoftKey& Key(int index) const { return keys_.at(static_cast<size_t>(index)); }
  // Puts an action on soft key `index` (0 for opt1_ptn) and shows the key.
  void Assign(int index, const std::string& action, const std::string& caption);
  void SetVisible(int index, bool visible);
  // Every frame back to its idle colour.
  void ResetKeyLights();
  void Light(int index);

  std::function<void()> on_change;
  uint64_t Revision() const { return revision_; }

 private:
  void Changed();
  std::array<SoftKey, kSoftKeys> keys_;
  uint64_t revision_ = 0;
};

}  // namespace ostra
