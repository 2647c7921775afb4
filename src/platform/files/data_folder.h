// Which folder the show's "data\..." names lead to. The show keeps its names relative to
// the working directory; a program that should play from anywhere calls
// chooseDataFolder once at start, which takes the first of these that holds the show's
// whole data set as regular files it may read, as a whole (two data sets are never mixed
// file by file, and a stray data/ with a file or two in it fools no one):
//   1. data/ in the working directory (an empty one too: it is the user's choice);
//   2. the installed data set: share/sunmarrow/data found from the program's own place
//      (bin/../share/sunmarrow/data, so a package unpacked into any root works), then the
//      install location the build was configured for;
//   3. data/ beside the program when it runs from its build folder (the one holding
//      CMakeCache.txt), where the build generates it.
// When no folder holds a whole set, the first that exists is used all the same (an empty
// data/ is the user's choice), the show reports each file it cannot read as ever, and the
// caller says on standard error which files that folder lacks. When no one calls
// chooseDataFolder (tests, library use), the names stay relative to the working directory.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The folders in the order they are tried, for a program that lives in programFolder
// (empty: the program's place is unknown, only the working directory's data/ and the
// configured install location are tried).
std::vector<std::string> dataFolderCandidates(const std::string& programFolder);

// The file names of a whole data set: the nine scenes, the three textures, the brush and
// the music.
const std::vector<std::string>& dataSetFiles();

// What `folder` lacks of a whole set: "NAME (why)" for each file that is not a regular
// file the program may read there, in dataSetFiles() order; empty for a whole set.
std::vector<std::string> missingDataFiles(const std::string& folder);

// The folder to use and, when it holds no whole set, what it lacks.
struct DataFolderChoice {
    std::string folder;                // "data": the working directory's
    std::vector<std::string> missing;  // empty: the whole set is there
};

// The first candidate that holds a whole set; else the first that is a directory, or
// "data" when none is, with what it lacks.
DataFolderChoice firstDataFolder(const std::vector<std::string>& candidates);

// Finds the folder for the running program (its place from /proc/self/exe) and uses it.
// When no whole set was found, says on standard error, after `program`'s name, which
// files the folder in use lacks; the show's own messages stay as they are.
DataFolderChoice chooseDataFolder(const char* program);

// The lines chooseDataFolder writes for `choice` (empty for a whole set).
std::string missingDataReport(const char* program, const DataFolderChoice& choice);

// Makes "data/..." lead into `folder` ("data" or empty: the working directory's).
void useDataFolder(const std::string& folder);

// A path as the show spells it after the slash conversion: "data/NAME" becomes
// "FOLDER/NAME" for the folder in use; anything else comes back unchanged.
std::string inDataFolder(std::string path);

// The folder the running program lives in, or empty when it cannot be told.
std::string programFolder();

}  // namespace platform
