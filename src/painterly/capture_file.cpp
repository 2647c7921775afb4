#include "painterly/capture_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "painterly/painterly.h"

namespace painterly {

bool loadCaptureFile(const char* path, std::uint8_t* capture, std::string& why) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        why = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<std::uint8_t> bytes(CaptureBytes + 1);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        why = std::string("cannot read ") + path;
        return false;
    }
    if (got != static_cast<std::size_t>(CaptureBytes)) {
        why = std::string(path) + (got < bytes.size() ? " holds " + std::to_string(got) + " bytes" : " is longer") +
              "; a capture is exactly " + std::to_string(CaptureBytes) + " bytes (160 x 120 RGB)";
        return false;
    }
    std::memcpy(capture, bytes.data(), CaptureBytes);
    return true;
}

}  // namespace painterly
