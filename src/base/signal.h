// A change notification with any number of listeners: each Connect adds one,
// and Emit calls them all in the order they were connected. A listener may
// connect or disconnect listeners, itself included, while the signal is being
// emitted: each listener is held by a shared pointer that the emit copies
// before calling it, so neither a connect that grows the list nor a
// disconnect destroys the function that is running. Emitting allocates
// nothing, so a signal may sit on the per-point path.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace ostra {

template <class... Args>
class Signal {
 public:
  using Slot = std::function<void(Args...)>;

  Signal() = default;
  // A signal belongs to its owner: copying the owner does not copy listeners.
  Signal(const Signal&) {}
  Signal& operator=(const Signal&) { return *this; }

  // Adds a listener; the id returned removes it again.
  int Connect(Slot slot) {
    const int id = next_id_++;
    slots_.push_back({id, std::make_shared<Slot>(std::move(slot))});
    return id;
  }

  void Disconnect(int id) {
    for (auto& entry : slots_) {
      if (entry.first == id) entry.second.reset();
    }
    if (emitting_ == 0) Compact();
  }

  void Emit(Args... args) const {
    ++emitting_;
    struct Done {
      const Signal& signal;
      ~Done() {
        if (--signal.emitting_ == 0) const_cast<Signal&>(signal).Compact();
      }
    } done{*this};
    // By index: a listener connected while emitting is not called this time.
    const size_t count = slots_.size();
    for (size_t i = 0; i < count; ++i) {
      // The copy keeps the listener alive while it runs (copying a shared
      // pointer allocates nothing).
      const std::shared_ptr<Slot> slot = slots_[i].second;
      if (slot && *slot) (*slot)(args...);
    }
  }

  bool Empty() const {
    for (const auto& entry : slots_) {
      if (entry.second) return false;
    }
    return true;
  }

 private:
  void Compact() {
    std::erase_if(slots_, [](const auto& entry) { return !entry.second; });
  }

  std::vector<std::pair<int, std::shared_ptr<Slot>>> slots_;
  int next_id_ = 1;
  mutable int emitting_ = 0;
};

// Disconnects its listener when it goes: a window that listens to a model
// holds one per signal, so the model never calls a window that is gone.
class ScopedConnection {
 public:
  ScopedConnection() = default;
  template <class... Args>
  ScopedConnection(Signal<Args...>& signal, typename Signal<Args...>::Slot slot) {
    const int id = signal.Connect(std::move(slot));
    disconnect_ = [&signal, id] { signal.Disconnect(id); };
  }
  ~ScopedConnection() { Reset(); }
  ScopedConnection(ScopedConnection&& other) noexcept
      : disconnect_(std::exchange(other.disconnect_, nullptr)) {}
  ScopedConnection& operator=(ScopedConnection&& other) noexcept {
    if (this != &other) {
      Reset();
      disconnect_ = std::exchange(other.disconnect_, nullptr);
    }
    return *this;
  }
  ScopedConnection(const ScopedConnection&) = delete;
  ScopedConnection& operator=(const ScopedConnection&) = delete;

  void Reset() {
    if (disconnect_) disconnect_();
    disconnect_ = nullptr;
  }

 private:
  std::function<void()> disconnect_;
};

}  // namespace ostra
