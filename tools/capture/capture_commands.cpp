#include "capture_commands.h"

#include <cstdio>

#include "platform/process/quit_signal.h"

namespace capture {

namespace {
Command*& head() {
    static Command* first = nullptr;
    return first;
}
}  // namespace

Command::Command(const char* n, const char* u, Run r, ShowData d) : name(n), usage(u), run(r), data(d), next(head()) {
    head() = this;
}

const Command* firstCommand() { return head(); }

int readOptions(const char* name, const char* usage, int argc, char** argv, const std::vector<options::Option>& table) {
    const options::Parsed parsed = options::parse(argc, argv, table);
    switch (parsed.outcome) {
        case options::Outcome::proceed:
            return -1;
        case options::Outcome::help:
            std::printf("usage: sunmarrow-capture %s\n", usage);
            return 0;
        case options::Outcome::stopped:
        case options::Outcome::wrong:
            break;
    }
    return wrongUsage(name, usage, parsed.problem.c_str());
}

int wrongUsage(const char* name, const char* usage, const char* problem) {
    std::fprintf(stderr, "sunmarrow-capture %s: %s\nusage: sunmarrow-capture %s\n", name, problem, usage);
    return 2;
}

int cutShortStatus() {
    const int signal = platform::pendingQuitSignal();
    return signal != 0 ? 128 + signal : 0;
}

}  // namespace capture
