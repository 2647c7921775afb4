// The one place where the show's data paths meet the file system. The show keeps its
// paths as written ("data\texture.raw", relative to the working directory); opening
// turns every backslash into a slash so the same text names the file on Linux.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The path as this system spells it: every '\' replaced by '/', and a leading "data/"
// led into the data folder in use (platform/data_folder.h).
std::string hostPath(const char* path);

// std::fopen of hostPath(path); null when the file cannot be opened (or path is null).
std::FILE* openFile(const char* path, const char* mode);

}  // namespace platform
