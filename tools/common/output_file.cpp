#include "output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace output {

OutputFile::OutputFile(const std::string& target) : target_(target) {
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0) {
        if (S_ISLNK(info.st_mode)) {
            char* real = ::realpath(target.c_str(), nullptr);
            if (real == nullptr) {
                error_ = target + ": a link that leads nowhere";
                return;
            }
            target_ = real;
            std::free(real);
            if (::stat(target_.c_str(), &info) != 0) {
                fail(std::strerror(errno));
                return;
            }
        }
        if (S_ISDIR(info.st_mode)) {
            error_ = target + ": " + std::strerror(EISDIR);
            return;
        }
        if (!S_ISREG(info.st_mode)) {
            error_ = target + ": not a regular file";
            return;
        }
    } else if (errno != ENOENT) {
        error_ = target + ": " + std::strerror(errno);
        return;
    }

    const std::size_t slash = target_.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (name.empty()) {
        error_ = target + ": names a folder, not a file";
        return;
    }
    const std::size_t dot = name.rfind('.');
    const std::string suffix = std::string(".partial") + (dot != std::string::npos && dot > 0 ? name.substr(dot) : "");
    const std::string pattern = folder + "." + name + ".XXXXXX" + suffix;
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    const int fd = ::mkstemps(path.data(), static_cast<int>(suffix.size()));
    if (fd < 0) {
        error_ = target + ": " + std::strerror(errno);
        return;
    }
    partial_ = path.data();
    // mkstemp makes the file private; the target gets what any new file would.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    stream_ = ::fdopen(fd, "wb");
    if (stream_ == nullptr) {
        const int why = errno;
        ::close(fd);
        fail(std::strerror(why));
    }
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::fail(const std::string& why) {
    if (error_.empty()) error_ = target_ + ": " + why;
    discard();
}

bool OutputFile::commit() {
    if (!ok() || partial_.empty()) return false;
    // A write that failed earlier (a full disk) left its errno; nothing since clears it.
    bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    int why = errno;
    if (std::fclose(stream_) != 0 && written) {
        written = false;
        why = errno;
    }
    stream_ = nullptr;
    if (!written) {
        fail(why != 0 ? std::strerror(why) : "the file could not be written");
        return false;
    }
    if (::rename(partial_.c_str(), target_.c_str()) != 0) {
        fail(std::strerror(errno));
        return false;
    }
    partial_.clear();
    return true;
}

void OutputFile::discard() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!partial_.empty()) ::unlink(partial_.c_str());
    partial_.clear();
}

}  // namespace output
