#include "platform/files/file_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/data_folder.h"

namespace platform {

std::string hostPath(const char* path) {
    std::string result = path != nullptr ? path : "";
    for (char& c : result) {
        if (c == '\\') c = '/';
    }
    return inDataFolder(std::move(result));  // "data/..." leads to the chosen data folder
}

std::FILE* openRegularFile(const char* path, int* failure) {
    int ignored = 0;
    int& why = failure != nullptr ? *failure : ignored;
    why = 0;
    if (path == nullptr) {
        why = ENOENT;
        return nullptr;
    }
    // A look before opening keeps devices from ever being opened (opening some has
    // effects of its own); what the opened descriptor is decides all the same, so an
    // entry swapped in between cannot slip through.
    struct stat info {};
    if (::stat(path, &info) != 0) {
        why = errno;
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        why = notRegularFile;
        return nullptr;
    }
    // O_NONBLOCK: a FIFO put there after the look opens at once instead of waiting for
    // a writer. O_NOCTTY: a terminal never becomes the process's own.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = errno;
        return nullptr;
    }
    // Blocking reads again from here on, as a buffered stream expects.
    int error = 0;
    int flags = 0;
    if (::fstat(fd, &info) != 0 || (flags = ::fcntl(fd, F_GETFL)) < 0) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        error = notRegularFile;
    } else if (::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error = errno;
    }
    if (error != 0) {
        why = error;
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        why = errno;
        ::close(fd);
    }
    return file;
}

std::FILE* openFile(const char* path, int* failure) {
    if (path == nullptr) return openRegularFile(nullptr, failure);
    return openRegularFile(hostPath(path).c_str(), failure);
}

std::string openFailureText(int failure) {
    if (failure == notRegularFile) return "not a regular file";
    return std::strerror(failure);
}

}  // namespace platform
