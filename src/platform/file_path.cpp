#include "platform/file_path.h"

#include "platform/data_folder.h"

namespace platform {

std::string hostPath(const char* path) {
    std::string result = path != nullptr ? path : "";
    for (char& c : result) {
        if (c == '\\') c = '/';
    }
    return inDataFolder(std::move(result));  // "data/..." leads to the chosen data folder
}

std::FILE* openFile(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    return std::fopen(hostPath(path).c_str(), mode);
}

}  // namespace platform
