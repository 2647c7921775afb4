#include "painterly/capture_file.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "painterly/painterly.h"
#include "platform/files/file_path.h"

namespace painterly {

bool loadCaptureFile(const char* path, std::uint8_t* capture, std::string& why) {
    int failure = 0;
    std::FILE* file = platform::openRegularFile(path, &failure);
    if (file == nullptr) {
        why = std::string("cannot open ") + (path != nullptr ? path : "") + ": " + platform::openFailureText(failure);
        return false;
    }
    std::vector<std::uint8_t> bytes(captureBytes + 1);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        why = std::string("cannot read ") + path;
        return false;
    }
    if (got != static_cast<std::size_t>(captureBytes)) {
        why = std::string(path) + (got < bytes.size() ? " holds " + std::to_string(got) + " bytes" : " is longer") +
              "; a capture is exactly " + std::to_string(captureBytes) + " bytes (160 x 120 RGB)";
        return false;
    }
    std::memcpy(capture, bytes.data(), captureBytes);
    return true;
}

}  // namespace painterly
