#include "platform/process/child_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

pid_t startPipedChild(PipeFlow flow, int& parentEnd, const std::function<void(int childEnd)>& inChild) {
    int fds[2];  // [0] reads, [1] writes
    if (pipe(fds) != 0) return -1;
    const int childEnd = flow == PipeFlow::toParent ? fds[1] : fds[0];
    const int ownEnd = flow == PipeFlow::toParent ? fds[0] : fds[1];
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        close(ownEnd);
        inChild(childEnd);
        _exit(0);
    }
    close(childEnd);
    parentEnd = ownEnd;
    return pid;
}

int waitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace platform
