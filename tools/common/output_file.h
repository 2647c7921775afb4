// Files the tools write appear whole or not at all. The bytes go to a hidden file beside
// the target, ".NAME.XXXXXX.partial.EXT" (the target's extension kept, for programs that
// choose a format by it), which takes the target's name only once everything is written
// and closed; a failure, or an object destroyed before commit(), removes it. A reader
// never sees a target cut short, and a full disk or a folder that cannot be written
// leaves nothing under the target's name.
//
// The target must be a new name in an existing folder, a regular file (replaced), or a
// link to one (the file it leads to is replaced, the link kept). A directory, FIFO,
// device, socket or a link that leads nowhere is refused before anything is written.
//
// Needs: POSIX only.
// Tested by: tests/e2e/hostile_data.sh (outputs that cannot be written, a full disk),
//   tests/e2e/video_capture.sh (exports stopped by a signal).
#pragma once

#include <cstdio>
#include <string>

namespace output {

class OutputFile {
public:
    // Checks the target and makes the hidden file; ok() says whether both worked.
    explicit OutputFile(const std::string& target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool ok() const { return error_.empty(); }
    // What went wrong, one line naming the target: "out.png: Is a directory".
    const std::string& error() const { return error_; }

    // The hidden file's path, for a program that writes it itself (ffmpeg).
    const std::string& partialPath() const { return partial_; }
    // A stream on the hidden file (null unless ok()); commit() closes it.
    std::FILE* stream() { return stream_; }

    // Closes the stream and gives the hidden file the target's name. False (with
    // error()) when a write, the close or the rename failed; the hidden file is gone.
    bool commit();
    // Removes the hidden file (also what the destructor does before commit()).
    void discard();
    // discard() with a reason, kept in error() unless one is there already.
    void fail(const std::string& why);

private:
    std::string target_;   // where the file goes, links resolved
    std::string partial_;  // empty once committed or discarded
    std::FILE* stream_ = nullptr;
    std::string error_;
};

}  // namespace output
