// Which folder the show's "data\..." names lead to. The show keeps its names relative to
// the working directory; a program that should play from anywhere calls
// chooseDataFolder once at start, which takes the first of these that is a directory,
// as a whole (two data sets are never mixed file by file):
//   1. data/ in the working directory (an empty one too: it is the user's choice);
//   2. the installed data set: share/sunmarrow/data found from the program's own place
//      (bin/../share/sunmarrow/data, so a package unpacked into any root works), then the
//      install location the build was configured for;
//   3. data/ beside the program when it runs from its build folder (the one holding
//      CMakeCache.txt), where the build generates it.
// When none exists, or when no one calls chooseDataFolder (tests, library use), the names
// stay relative to the working directory and each missing file is reported as before.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The folders in the order they are tried, for a program that lives in programFolder
// (empty: the program's place is unknown, only the working directory's data/ and the
// configured install location are tried).
std::vector<std::string> dataFolderCandidates(const std::string& programFolder);

// The first candidate that is a directory, or "data" when none is.
std::string firstDataFolder(const std::vector<std::string>& candidates);

// Finds the folder for the running program (its place from /proc/self/exe) and uses it.
// Returns the folder chosen.
std::string chooseDataFolder();

// Makes "data/..." lead into `folder` ("data" or empty: the working directory's).
void useDataFolder(const std::string& folder);

// A path as the show spells it after the slash conversion: "data/NAME" becomes
// "FOLDER/NAME" for the folder in use; anything else comes back unchanged.
std::string inDataFolder(std::string path);

// The folder the running program lives in, or empty when it cannot be told.
std::string programFolder();

}  // namespace platform
