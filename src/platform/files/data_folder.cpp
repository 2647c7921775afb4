#include "platform/files/data_folder.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/files/file_path.h"

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

const std::vector<std::string>& dataSetFiles() {
    static const std::vector<std::string> files = {
        "intro1.csi", "intro2.csi", "intro3.csi", "intro4.csi", "trees.csi", "clouds.csi", "bird2.csi",
        "flowers.csi", "moon.csi", "texture.raw", "texture_flowers.raw", "texter4.raw", "stroke4_A_32_128.raw",
        "sunmarrow.mp3"};
    return files;
}

std::vector<std::string> missingDataFiles(const std::string& folder) {
    std::vector<std::string> missing;
    for (const std::string& name : dataSetFiles()) {
        // Opened as the show opens it (a regular file it may read, never waited on).
        int failure = 0;
        std::FILE* file = openRegularFile((folder + "/" + name).c_str(), &failure);
        if (file != nullptr) {
            std::fclose(file);
        } else {
            missing.push_back(name + " (" + openFailureText(failure) + ")");
        }
    }
    return missing;
}

DataFolderChoice firstDataFolder(const std::vector<std::string>& candidates) {
    std::string firstFolder;
    for (const std::string& folder : candidates) {
        std::error_code error;
        if (!fs::is_directory(folder, error)) continue;
        if (missingDataFiles(folder).empty()) return {folder, {}};
        if (firstFolder.empty()) firstFolder = folder;
    }
    if (firstFolder.empty()) firstFolder = "data";
    return {firstFolder, missingDataFiles(firstFolder)};
}

std::string missingDataReport(const char* program, const DataFolderChoice& choice) {
    if (choice.missing.empty()) return {};
    std::string text = std::string(program) + ": no folder holds the whole data set; " + choice.folder + "/ lacks " +
                       std::to_string(choice.missing.size()) + " of its " + std::to_string(dataSetFiles().size()) +
                       " files:\n";
    for (const std::string& file : choice.missing) text += "  " + file + "\n";
    return text;
}

DataFolderChoice chooseDataFolder(const char* program) {
    DataFolderChoice choice = firstDataFolder(dataFolderCandidates(programFolder()));
    useDataFolder(choice.folder);
    std::fputs(missingDataReport(program, choice).c_str(), stderr);
    return choice;
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
