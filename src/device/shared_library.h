// A shared library opened at run time (dlopen, or LoadLibrary on Windows),
// for the USB driver libraries that nothing links against at build time.
#pragma once

#include <cstring>
#include <string>

namespace ostra {

class SharedLibrary {
 public:
  // Opens the library by file name (searched as the system searches) or path.
  explicit SharedLibrary(std::string path);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool Loaded() const { return module_ != nullptr; }
  // Why it could not be opened ("" when it was).
  const std::string& Error() const { return error_; }
  // Where the opened library lies (the name asked for when that is unknown).
  std::string FilePath() const;

  // The function `name` as the function pointer type Fn, or null.
  template <typename Fn>
  Fn Find(const char* name) const {
    void* address = Address(name);
    Fn function = nullptr;
    static_assert(sizeof(function) == sizeof(address));
    std::memcpy(&function, &address, sizeof(function));
    return function;
  }

 private:
  void* Address(const char* name) const;

  std::string path_;
  void* module_ = nullptr;
  std::string error_;
};

// Looks up a library's functions one after another and remembers the first
// one that is missing.
class FunctionLookup {
 public:
  explicit FunctionLookup(const SharedLibrary& library) : library_(library) {}

  template <typename Fn>
  void operator()(Fn& slot, const char* name) {
    slot = library_.Find<Fn>(name);
    if (slot == nullptr && missing_.empty()) missing_ = name;
  }
  bool Complete() const { return missing_.empty(); }
  // The name of the first function that was not found ("" when none).
  const std::string& FirstMissing() const { return missing_; }

 private:
  const SharedLibrary& library_;
  std::string missing_;
};

}  // namespace ostra
