#include "platform/process/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

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

pid_t spawnPipedProgram(const std::vector<std::string>& argv, int& writeEnd, int extraFd, int& error) {
    error = 0;
    if (argv.empty()) {
        error = EINVAL;
        return -1;
    }
    int fds[2];  // [0] reads, [1] writes
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = errno;
        return -1;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // In this order: the pipe's read end may itself be descriptor 3.
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    if (extraFd >= 0) posix_spawn_file_actions_adddup2(&actions, extraFd, 3);
    sigset_t defaults, none;
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&defaults, signal);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    error = ::posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[0]);
    if (error != 0) {
        ::close(fds[1]);
        return -1;
    }
    writeEnd = fds[1];
    return pid;
}

int waitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

}  // namespace platform
