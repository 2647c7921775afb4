// links: platform_files
// Where "data\..." leads: the order of the folders tried, the first that holds the whole
// data set taken as a whole, and the show's file names led into it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
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

// Fills `folder` with a whole data set, each file saying `text`.
void wholeSet(const fs::path& folder, const std::string& text) {
    fs::create_directories(folder);
    for (const std::string& name : platform::dataSetFiles()) std::ofstream(folder / name) << text;
}

TEST_F(DataFolderTest, OnlyAFolderWithTheWholeSetIsTakenAndThenAsAWhole) {
    wholeSet(installed, "installed");
    wholeSet(build / "data", "build");
    const fs::path stray = work / "data";
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string folder;
        std::vector<std::string> missing;
    };
    const std::string all = std::to_string(platform::dataSetFiles().size());
    const Case cases[] = {
        {"no data/ here: the installed set", [] {}, installed.string(), {}},
        {"a stray data/ with one file is passed over",
         [&] {
             fs::create_directory(stray);
             write(stray / "texture.raw", "stray");
         },
         installed.string(),
         {}},
        {"a whole set here is the user's choice", [&] { wholeSet(stray, "here"); }, "data", {}},
        {"each kind of hole makes a set incomplete",
         [&] {
             wholeSet(stray, "here");
             fs::remove(stray / "intro1.csi");
             fs::remove(stray / "moon.csi");
             fs::create_directory(stray / "moon.csi");
             fs::remove(stray / "sunmarrow.mp3");
             fs::create_symlink(stray / "nowhere", stray / "sunmarrow.mp3");
         },
         installed.string(),
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(stray);
        c.arrange();
        const platform::DataFolderChoice choice =
            platform::firstDataFolder({"data", installed.string(), (build / "data").string()});
        EXPECT_EQ(choice.folder, c.folder);
        EXPECT_EQ(choice.missing, c.missing);
    }
    // What the incomplete set lacks, and why, in the set's order.
    EXPECT_EQ(platform::missingDataFiles(stray.string()),
              (std::vector<std::string>{"intro1.csi (No such file or directory)", "moon.csi (not a regular file)",
                                        "sunmarrow.mp3 (No such file or directory)"}));

    // Without any whole set, the first folder that exists is used, with what it lacks;
    // its files are never mixed with another folder's.
    fs::remove_all(installed);
    fs::remove_all(build / "data");
    fs::remove_all(stray);
    fs::create_directory(stray);
    write(stray / "texture.raw", "here");
    const platform::DataFolderChoice partial = platform::firstDataFolder({(root / "missing").string(), "data"});
    EXPECT_EQ(partial.folder, "data");
    EXPECT_EQ(partial.missing.size(), platform::dataSetFiles().size() - 1);
    platform::useDataFolder(partial.folder);
    EXPECT_EQ(readShowFile("data\\texture.raw"), "here");
    EXPECT_EQ(readShowFile("data\\moon.csi"), "(none)");
    const std::string report = platform::missingDataReport("prog", partial);
    EXPECT_EQ(report.rfind("prog: no folder holds the whole data set; data/ lacks " +
                               std::to_string(partial.missing.size()) + " of its " + all + " files:\n  intro1.csi (No such file or directory)\n",
                           0),
              0u)
        << report;
    EXPECT_EQ(platform::missingDataReport("prog", {"data", {}}), "");

    // A file called data is not a folder; without any folder the names stay relative.
    fs::remove_all(stray);
    write(stray, "not a folder");
    EXPECT_EQ(platform::firstDataFolder({"data", (root / "missing").string()}).folder, "data");
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
