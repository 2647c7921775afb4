// The one place where files that the show and its tools read meet the file system. The
// show keeps its paths as written ("data\texture.raw", relative to the working
// directory); opening turns every backslash into a slash so the same text names the file
// on Linux. Only a regular file (or a link to one) opens: a directory, FIFO, socket or
// device in the place of a data file is a file that cannot be opened, like a missing
// one, and opening never waits (a FIFO with no writer is refused at once).
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The path as this system spells it: every '\' replaced by '/', and a leading "data/"
// led into the data folder in use (platform/files/data_folder.h).
std::string hostPath(const char* path);

// Why an open failed: the errno of the failed open (ENOENT, EACCES, ...), or
// notRegularFile when the path names something other than a regular file.
inline constexpr int notRegularFile = -1;

// Opens the file at the host path `path` (no backslash mapping: a path given by a
// person) for reading in binary mode. Null when it cannot be opened or is not a regular
// file (or path is null); `failure`, when given, then says why (0 on success).
std::FILE* openRegularFile(const char* path, int* failure = nullptr);

// openRegularFile of hostPath(path): how the show opens its data files.
std::FILE* openFile(const char* path, int* failure = nullptr);

// One line for people about a failure code of the above: the system's text for an
// errno, "not a regular file" for notRegularFile.
std::string openFailureText(int failure);

}  // namespace platform
