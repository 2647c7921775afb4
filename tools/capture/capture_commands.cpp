#include "capture_commands.h"

namespace capture {

namespace {
Command*& head() {
    static Command* first = nullptr;
    return first;
}
}  // namespace

Command::Command(const char* n, const char* u, Run r) : name(n), usage(u), run(r), next(head()) {
    head() = this;
}

const Command* firstCommand() { return head(); }

}  // namespace capture
