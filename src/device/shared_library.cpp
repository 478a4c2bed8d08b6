#include "device/shared_library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif
#ifdef __linux__
#include <link.h>
#endif

namespace ostra {

SharedLibrary::SharedLibrary(std::string path) : path_(std::move(path)) {
#ifdef _WIN32
  module_ = reinterpret_cast<void*>(LoadLibraryA(path_.c_str()));
  if (!module_) error_ = "cannot load " + path_ + " (error " + std::to_string(GetLastError()) + ")";
#else
  module_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module_) {
    const char* text = dlerror();
    error_ = text ? text : "cannot load " + path_;
  }
#endif
}

SharedLibrary::~SharedLibrary() {
  if (!module_) return;
#ifdef _WIN32
  FreeLibrary(reinterpret_cast<HMODULE>(module_));
#else
  dlclose(module_);
#endif
}

void* SharedLibrary::Address(const char* name) const {
  if (!module_) return nullptr;
#ifdef _WIN32
  FARPROC address = GetProcAddress(reinterpret_cast<HMODULE>(module_), name);
  void* result = nullptr;
  static_assert(sizeof(result) == sizeof(address));
  std::memcpy(&result, &address, sizeof(result));
  return result;
#else
  return dlsym(module_, name);
#endif
}

std::string SharedLibrary::FilePath() const {
  if (!module_) return path_;
#ifdef _WIN32
  char buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(reinterpret_cast<HMODULE>(module_), buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(buffer, length) : path_;
#elif defined(__linux__)
  // The file the dynamic linker found for the name.
  link_map* map = nullptr;
  if (dlinfo(module_, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name && *map->l_name) {
    return map->l_name;
  }
  return path_;
#else
  return path_;
#endif
}

}  // namespace ostra
