#include "app/instrument_owner.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace ostra {

namespace {

const char* WhileText(InstrumentUse use) {
  switch (use) {
    case InstrumentUse::Calibrating:
      return " is not possible while the calibration is running";
    case InstrumentUse::Upgrading:
      return " is not possible while the firmware upgrade is running";
    case InstrumentUse::Recalling:
      return " is not possible while a state is being recalled";
    case InstrumentUse::Closing:
      return " is not possible while the program is closing";
    case InstrumentUse::Idle:
    case InstrumentUse::Sweeping:
      break;
  }
  return nullptr;
}

}  // namespace

InstrumentOwner::Claim::Claim(Claim&& other) noexcept
    : owner_(std::exchange(other.owner_, nullptr)), id_(other.id_) {}

InstrumentOwner::Claim& InstrumentOwner::Claim::operator=(Claim&& other) noexcept {
  if (this != &other) {
    Release();
    owner_ = std::exchange(other.owner_, nullptr);
    id_ = other.id_;
  }
  return *this;
}

void InstrumentOwner::Claim::Release() {
  if (InstrumentOwner* owner = std::exchange(owner_, nullptr)) owner->Release(id_);
}

InstrumentUse InstrumentOwner::Current() const {
  if (!claims_.empty()) return claims_.back().use;
  return sweeping_ ? InstrumentUse::Sweeping : InstrumentUse::Idle;
}

bool InstrumentOwner::Holds(InstrumentUse use) const {
  return std::any_of(claims_.begin(), claims_.end(),
                     [use](const Entry& entry) { return entry.use == use; });
}

std::optional<std::string> InstrumentOwner::WhyNot(std::string_view command) const {
  const char* text = WhileText(Current());
  if (text == nullptr) return std::nullopt;
  return std::string(command) + text;
}

bool InstrumentOwner::Ask(std::string_view command) {
  const auto refusal = WhyNot(command);
  if (!refusal) return true;
  platform_.ShowMessage(*refusal);
  return false;
}

InstrumentOwner::Claim InstrumentOwner::Take(InstrumentUse use) {
  const uint64_t id = next_id_++;
  claims_.push_back({id, use});
  return Claim(this, id);
}

void InstrumentOwner::Release(uint64_t id) {
  std::erase_if(claims_, [id](const Entry& entry) { return entry.id == id; });
  RunDeferred();
}

void InstrumentOwner::WhenReleased(InstrumentUse use, std::function<void()> action) {
  deferred_.push_back({use, std::move(action)});
  RunDeferred();
}

void InstrumentOwner::RunDeferred() {
  for (size_t i = 0; i < deferred_.size();) {
    if (Holds(deferred_[i].use)) {
      ++i;
      continue;
    }
    // Taken out first: the action may claim, release or defer again.
    std::function<void()> action = std::move(deferred_[i].action);
    deferred_.erase(deferred_.begin() + static_cast<std::ptrdiff_t>(i));
    try {
      action();
    } catch (const std::exception&) {
      // A deferred action reports its own failures; a release never throws.
    }
    i = 0;
  }
}

}  // namespace ostra
