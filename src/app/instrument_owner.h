// Who is using the instrument: one value, kept here, that every command asks
// before it starts. Sweeping is the normal use and any command may interrupt
// it; a calibration, the firmware upgrade, a state recall and the program's
// close each hold the instrument for themselves through a claim, and any
// other command asked for meanwhile is refused with a message and changes
// nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/platform.h"

namespace ostra {

enum class InstrumentUse { Idle, Sweeping, Calibrating, Upgrading, Recalling, Closing };

class InstrumentOwner {
 public:
  explicit InstrumentOwner(Platform& platform) : platform_(platform) {}
  InstrumentOwner(const InstrumentOwner&) = delete;
  InstrumentOwner& operator=(const InstrumentOwner&) = delete;

  // Holds the instrument for one use until it is destroyed (or Release()d).
  class Claim {
   public:
    Claim() = default;
    Claim(Claim&& other) noexcept;
    Claim& operator=(Claim&& other) noexcept;
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;
    ~Claim() { Release(); }
    void Release();
    bool Held() const { return owner_ != nullptr; }

   private:
    friend class InstrumentOwner;
    Claim(InstrumentOwner* owner, uint64_t id) : owner_(owner), id_(id) {}
    InstrumentOwner* owner_ = nullptr;
    uint64_t id_ = 0;
  };

  // The latest claim still held; otherwise Sweeping while a run is active,
  // else Idle.
  InstrumentUse Current() const;
  // Some claim of `use` is held (a claim taken later may stand above it).
  bool Holds(InstrumentUse use) const;
  // The refusal text when `command` cannot start now; nullopt when it can.
  std::optional<std::string> WhyNot(std::string_view command) const;
  // Shows the refusal in a message box and returns false, or returns true.
  bool Ask(std::string_view command);
  // Takes the instrument for `use`; the caller has asked first.
  [[nodiscard]] Claim Take(InstrumentUse use);

  // The acquisition loop started (true) or returned (false).
  void SetSweeping(bool on) { sweeping_ = on; }
  // Runs `action` once no claim of `use` is held any more (at once when none
  // is): a close asked for during the upgrade happens when it has ended.
  void WhenReleased(InstrumentUse use, std::function<void()> action);

 private:
  struct Entry {
    uint64_t id;
    InstrumentUse use;
  };
  struct Deferred {
    InstrumentUse use;
    std::function<void()> action;
  };
  void Release(uint64_t id);
  void RunDeferred();

  Platform& platform_;
  std::vector<Entry> claims_;
  std::vector<Deferred> deferred_;
  uint64_t next_id_ = 1;
  bool sweeping_ = false;
};

}  // namespace ostra
