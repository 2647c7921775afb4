// Child processes joined to this one by a pipe: work that must not stay in the
// player's own process (the settings form and the notices) and other programs fed
// through a pipe (the capture tool's encoder). POSIX only: no SDL, no GTK.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Which way the pipe carries bytes.
enum class PipeFlow : std::uint8_t { toParent, toChild };

// Forks a child joined to this process by a pipe. In the child, `inChild` runs with the
// child's end of the pipe (the parent's end is closed there), and the child ends with
// _exit(0) when it returns: the parent's atexit handlers and streams are not the
// child's to end. In the parent: the child's process id, with the parent's end of the
// pipe in `parentEnd`; -1 when no pipe or no child could be made (nothing is left open).
pid_t startPipedChild(PipeFlow flow, int& parentEnd, const std::function<void(int childEnd)>& inChild);

// Starts the program argv[0], looked up on PATH (posix_spawnp), with argv as its
// arguments. Its standard input reads from a new pipe whose write end comes back in
// `writeEnd` (close-on-exec); `extraFd`, unless -1, becomes its descriptor 3. It runs
// in a process group of its own, so a Ctrl+C at the terminal reaches only this process,
// which decides how the child ends, and it starts with SIGINT, SIGTERM, SIGHUP, SIGQUIT
// and SIGPIPE at their default actions. Returns its process id, or -1 with `error` the
// errno (ENOENT: no such program on PATH) and nothing left open.
pid_t spawnPipedProgram(const std::vector<std::string>& argv, int& writeEnd, int extraFd, int& error);

// Waits for `child` to end, through any signal that interrupts the wait; its wait
// status (0 when there is no such child).
int waitForChild(pid_t child);

}  // namespace platform
