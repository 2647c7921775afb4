#include "shell/desktop_access.h"

namespace shell {

namespace {
platform::Desktop* installed = nullptr;
}

platform::Desktop& desktop() { return installed != nullptr ? *installed : platform::systemDesktop(); }

void useDesktop(platform::Desktop* replacement) { installed = replacement; }

void showErrorBox(const char* text, platform::MessageIcon icon) { desktop().messageBox(text, "Error", icon); }

}  // namespace shell
