// links: platform_files
// Where "data\..." leads: the order of the folders tried, the first one that exists
// taken as a whole, and the show's file names led into it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files/data_folder.h"
#include "platform/files/file_path.h"

namespace fs = std::filesystem;

namespace {

// A scratch tree with an installed prefix (prefix/bin, prefix/share/sunmarrow/data), a
// build folder holding data/ beside its programs, and a working directory; the test
// runs in the working directory and puts everything back afterwards.
class DataFolderTest : public ::testing::Test {
protected:
    fs::path root, bin, installed, build, work;
    fs::path old;
    void SetUp() override {
        root = fs::temp_directory_path() / ("sunmarrow_data_folder_" + std::to_string(::getpid()));
        fs::remove_all(root);
        bin = root / "prefix/bin";
        installed = root / "prefix/share/sunmarrow/data";
        build = root / "build";
        work = root / "work";
        for (const fs::path& p : {bin, installed, build / "data", work}) fs::create_directories(p);
        write(installed / "texture.raw", "installed");
        write(build / "data/texture.raw", "build");
        old = fs::current_path();
        fs::current_path(work);
    }
    void TearDown() override {
        platform::useDataFolder("data");
        fs::current_path(old);
        fs::remove_all(root);
    }
    static void write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }
    static std::string readShowFile(const char* name) {
        std::FILE* file = platform::openFile(name);
        if (file == nullptr) return "(none)";
        char buffer[32] = {};
        const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
        std::fclose(file);
        return std::string(buffer, n);
    }
};

TEST_F(DataFolderTest, CandidatesRunFromTheWorkingDirectoryThroughTheInstalledSetToTheBuild) {
    // An installed program: its prefix's data set, then the configured install location.
    const auto installedOrder = platform::dataFolderCandidates(bin.string());
    ASSERT_EQ(installedOrder.size(), 3u);
    EXPECT_EQ(installedOrder[0], "data");
    EXPECT_EQ(installedOrder[1], installed.string());  // found from the program's place, normalised
    EXPECT_TRUE(fs::path(installedOrder[2]).is_absolute());
    EXPECT_EQ(fs::path(installedOrder[2]).filename(), "data");

    // A program in its build folder also has the build's data set, last.
    write(build / "CMakeCache.txt", "");
    const auto buildOrder = platform::dataFolderCandidates(build.string());
    ASSERT_EQ(buildOrder.size(), 4u);
    EXPECT_EQ(buildOrder[0], "data");
    EXPECT_EQ(buildOrder[1], (root / "share/sunmarrow/data").string());
    EXPECT_EQ(buildOrder[2], installedOrder[2]);
    EXPECT_EQ(buildOrder[3], (build / "data").string());

    // Unknown place: the working directory and the configured location only.
    EXPECT_EQ(platform::dataFolderCandidates("").size(), 2u);
}

TEST_F(DataFolderTest, TheFirstFolderThatExistsIsUsedAsAWhole) {
    const std::vector<std::string> order = {"data", installed.string(), (build / "data").string()};
    EXPECT_EQ(platform::firstDataFolder(order), installed.string());
    platform::useDataFolder(platform::firstDataFolder(order));
    EXPECT_EQ(readShowFile("data\\texture.raw"), "installed");
    EXPECT_EQ(readShowFile("data\\moon.csi"), "(none)");  // never taken from the next folder

    // An empty data/ in the working directory is still the user's choice.
    fs::create_directory(work / "data");
    EXPECT_EQ(platform::firstDataFolder(order), "data");
    platform::useDataFolder("data");
    EXPECT_EQ(readShowFile("data\\texture.raw"), "(none)");
    write(work / "data/texture.raw", "here");
    EXPECT_EQ(readShowFile("data\\texture.raw"), "here");

    // A file called data is not a folder; without any folder the names stay relative.
    fs::remove_all(work / "data");
    write(work / "data", "not a folder");
    EXPECT_EQ(platform::firstDataFolder({"data", (root / "missing").string(), (build / "data").string()}),
              (build / "data").string());
    EXPECT_EQ(platform::firstDataFolder({"data", (root / "missing").string()}), "data");
}

TEST_F(DataFolderTest, OnlyALeadingDataFolderIsLedElsewhere) {
    platform::useDataFolder("/opt/show/data");
    EXPECT_EQ(platform::hostPath("data\\texture.raw"), "/opt/show/data/texture.raw");
    EXPECT_EQ(platform::hostPath("data/sub\\x.raw"), "/opt/show/data/sub/x.raw");
    EXPECT_EQ(platform::hostPath("database\\x.raw"), "database/x.raw");
    EXPECT_EQ(platform::hostPath("data"), "data");
    EXPECT_EQ(platform::hostPath("./data/x.raw"), "./data/x.raw");
    EXPECT_EQ(platform::hostPath("/data/x.raw"), "/data/x.raw");
    platform::useDataFolder("data");
    EXPECT_EQ(platform::hostPath("data\\texture.raw"), "data/texture.raw");
}

}  // namespace
