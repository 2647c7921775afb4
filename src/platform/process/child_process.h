// Child processes joined to this one by a pipe: work that must not stay in the
// player's own process (the settings form and the notices) and other programs fed
// through a pipe (the capture tool's encoder). POSIX only: no SDL, no GTK.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>

namespace platform {

// Which way the pipe carries bytes.
enum class PipeFlow : std::uint8_t { toParent, toChild };

// Forks a child joined to this process by a pipe. In the child, `inChild` runs with the
// child's end of the pipe (the parent's end is closed there), and the child ends with
// _exit(0) when it returns: the parent's atexit handlers and streams are not the
// child's to end. In the parent: the child's process id, with the parent's end of the
// pipe in `parentEnd`; -1 when no pipe or no child could be made (nothing is left open).
pid_t startPipedChild(PipeFlow flow, int& parentEnd, const std::function<void(int childEnd)>& inChild);

// Waits for `child` to end, through any signal that interrupts the wait; its wait
// status (0 when there is no such child).
int waitForChild(pid_t child);

}  // namespace platform
