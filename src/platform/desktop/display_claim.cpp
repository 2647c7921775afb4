// One player per display. A second player would take the first one's switched mode for
// the desktop's and leave it behind when it ends, and play a second soundtrack over
// the first. The claim is a write lock on a file named after the display
// (rules::displayClaimPath): a POSIX record lock belongs to the process that took it,
// so the kernel lets go of it however the process ends (SIGKILL and crashes included)
// and no stale claim is ever left; the forked form and notice processes do not
// inherit it; and the file lies in the user's own runtime folder, where no other user
// can take it first. A lock file left behind is harmless: only the lock counts.
#include "platform/desktop/system_desktop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {

bool SystemDesktop::claimDisplay() {
    const rules::DisplayNames names{std::getenv("SDL_VIDEODRIVER"), std::getenv("DISPLAY"),
                                    std::getenv("WAYLAND_DISPLAY"), std::getenv("XDG_RUNTIME_DIR"),
                                    static_cast<unsigned>(getuid())};
    const std::string path = rules::displayClaimPath(names);
    if (path.empty()) return true;
    // Never through a link someone else put there, and only in a file of our own.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return true;
    struct stat file{};
    if (fstat(fd, &file) != 0 || file.st_uid != getuid() || !S_ISREG(file.st_mode)) {
        close(fd);
        return true;
    }
    struct flock lock{};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (fcntl(fd, F_SETLK, &lock) == 0) return true;  // held until the process ends: fd stays open
    const int why = errno;
    close(fd);
    return why != EACCES && why != EAGAIN;
}

}  // namespace platform
