#include "platform/files/data_folder.h"

#include <filesystem>
#include <system_error>

// The build sets both from its install layout; these are the usual ones.
#ifndef SUNMARROW_DATA_FROM_BIN
#define SUNMARROW_DATA_FROM_BIN "../share/sunmarrow/data"
#endif
#ifndef SUNMARROW_INSTALLED_DATA
#define SUNMARROW_INSTALLED_DATA "/usr/local/share/sunmarrow/data"
#endif

namespace fs = std::filesystem;

namespace platform {

namespace {

// Empty: "data/..." stays relative to the working directory.
std::string folderInUse;

}  // namespace

std::vector<std::string> dataFolderCandidates(const std::string& programFolder) {
    std::vector<std::string> result{"data"};
    auto add = [&result](const fs::path& folder) {
        const std::string text = folder.lexically_normal().string();
        for (const std::string& known : result) {
            if (known == text) return;
        }
        result.push_back(text);
    };
    if (!programFolder.empty()) add(fs::path(programFolder) / SUNMARROW_DATA_FROM_BIN);
    add(SUNMARROW_INSTALLED_DATA);
    // A build folder is told by its CMake cache; installed programs have no data/ beside them.
    std::error_code error;
    if (!programFolder.empty() && fs::is_regular_file(fs::path(programFolder) / "CMakeCache.txt", error)) {
        add(fs::path(programFolder) / "data");
    }
    return result;
}

std::string firstDataFolder(const std::vector<std::string>& candidates) {
    for (const std::string& folder : candidates) {
        std::error_code error;
        if (fs::is_directory(folder, error)) return folder;
    }
    return "data";
}

std::string chooseDataFolder() {
    const std::string folder = firstDataFolder(dataFolderCandidates(programFolder()));
    useDataFolder(folder);
    return folder;
}

void useDataFolder(const std::string& folder) { folderInUse = folder == "data" ? std::string() : folder; }

std::string inDataFolder(std::string path) {
    if (folderInUse.empty() || path.compare(0, 5, "data/") != 0) return path;
    return folderInUse + path.substr(4);
}

std::string programFolder() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error || !exe.has_parent_path()) return {};
    return exe.parent_path().string();
}

}  // namespace platform
