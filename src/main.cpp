// The player: no options, no configuration files; the settings dialog is all.
#include "platform/desktop.h"
#include "shell/app_main.h"

int main() { return shell::appMain(platform::currentInstance()); }
