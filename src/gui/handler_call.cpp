#include "gui/handler_call.h"

#include <cstdio>
#include <exception>

namespace ostra {

void CallHandler(const std::function<void()>& handler) {
  if (!handler) return;
  try {
    handler();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ostra: unhandled error in an event handler: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "ostra: unhandled error in an event handler\n");
  }
}

}  // namespace ostra
