// Calls a window's event handler, if one is wired. Handlers show the program's
// own errors; anything that still escapes is reported on stderr so that it
// never unwinds through Qt's event dispatch.
#pragma once

#include <functional>

namespace ostra {

void CallHandler(const std::function<void()>& handler);

}  // namespace ostra
