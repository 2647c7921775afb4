// links: options
// The one option reader of the player and the tools: one table of argument lists, each
// with what it must give (the values taken, or the outcome and the message).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options/options.h"

namespace {

// A command with one option of each kind, as the capture tool's export has them.
struct Values {
    bool stretch = false;
    const char* out = "-";
    int fps = 30;
    double from = 0;
    int width = 640, height = 480;
    const char* preset = "veryfast";

    std::string text() const {
        char line[160];
        std::snprintf(line, sizeof line, "stretch=%d out=%s fps=%d from=%g size=%dx%d preset=%s", stretch, out, fps,
                      from, width, height, preset);
        return line;
    }
};

struct Case {
    std::vector<const char*> args;
    bool operands;  // whether the command takes operands
    options::Outcome outcome;
    std::string want;  // proceed: the values (and operands after '|'); wrong: the message
};

using options::Outcome;
const std::string defaults = "stretch=0 out=- fps=30 from=0 size=640x480 preset=veryfast";

TEST(Options, OneTableOfArgumentLists) {
    const std::vector<Case> cases = {
        {{}, false, Outcome::proceed, defaults},
        {{"--stretch", "--out", "a.mp4", "--fps", "60", "--from", "1.5e1", "--size", "16x8192", "--preset", "slow"},
         false, Outcome::proceed, "stretch=1 out=a.mp4 fps=60 from=15 size=16x8192 preset=slow"},
        // The later one wins; a value that looks like an option is still the value.
        {{"--fps", "1", "--fps", "+7", "--out", "--fps"}, false, Outcome::proceed,
         "stretch=0 out=--fps fps=7 from=0 size=640x480 preset=veryfast"},
        {{"eval", "-5", "-", "--fps", "2", ""}, true, Outcome::proceed,
         "stretch=0 out=- fps=2 from=0 size=640x480 preset=veryfast|eval -5 - "},
        // --help wherever it stands, once what comes before it is right.
        {{"--fps", "2", "-h", "--bogus"}, false, Outcome::help, ""},
        {{"--bogus", "--help"}, false, Outcome::wrong, "unknown argument '--bogus'"},
        {{"--version", "--bogus"}, false, Outcome::stopped, ""},
        {{"--out=a.mp4"}, false, Outcome::wrong, "unknown argument '--out=a.mp4'"},
        {{"file"}, false, Outcome::wrong, "unknown argument 'file'"},
        {{""}, false, Outcome::wrong, "unknown argument ''"},
        {{"--unknown"}, true, Outcome::wrong, "unknown argument '--unknown'"},
        {{"--fps"}, false, Outcome::wrong, "--fps wants a whole number from 1 to 60"},
        {{"--fps", "61"}, false, Outcome::wrong, "--fps wants a whole number from 1 to 60, not '61'"},
        {{"--fps", "0"}, false, Outcome::wrong, "--fps wants a whole number from 1 to 60, not '0'"},
        {{"--fps", "30.5"}, false, Outcome::wrong, "--fps wants a whole number from 1 to 60, not '30.5'"},
        {{"--fps", " 30"}, false, Outcome::wrong, "--fps wants a whole number from 1 to 60, not ' 30'"},
        {{"--fps", "99999999999999999999"}, false, Outcome::wrong,
         "--fps wants a whole number from 1 to 60, not '99999999999999999999'"},
        {{"--from", "nan"}, false, Outcome::wrong, "--from wants a number from 0 to 100000, not 'nan'"},
        {{"--from", "inf"}, false, Outcome::wrong, "--from wants a number from 0 to 100000, not 'inf'"},
        {{"--from", "-0.1"}, false, Outcome::wrong, "--from wants a number from 0 to 100000, not '-0.1'"},
        {{"--from", "1s"}, false, Outcome::wrong, "--from wants a number from 0 to 100000, not '1s'"},
        {{"--from", ""}, false, Outcome::wrong, "--from wants a number from 0 to 100000, not ''"},
        {{"--size", "15x480"}, false, Outcome::wrong, "--size wants WxH from 16x16 to 8192x8192, not '15x480'"},
        {{"--size", "640x480x3"}, false, Outcome::wrong,
         "--size wants WxH from 16x16 to 8192x8192, not '640x480x3'"},
        {{"--size", "640X480"}, false, Outcome::wrong, "--size wants WxH from 16x16 to 8192x8192, not '640X480'"},
        {{"--size", "+640x480"}, false, Outcome::wrong, "--size wants WxH from 16x16 to 8192x8192, not '+640x480'"},
        {{"--size", "640x"}, false, Outcome::wrong, "--size wants WxH from 16x16 to 8192x8192, not '640x'"},
        {{"--preset", "fastest"}, false, Outcome::wrong,
         "--preset wants one of ultrafast, veryfast, slow, not 'fastest'"},
        {{"--stretch", "yes"}, false, Outcome::wrong, "unknown argument 'yes'"},
    };
    for (const Case& c : cases) {
        Values v;
        const std::vector<options::Option> table = {
            options::flag("--stretch", v.stretch),
            options::text("--out", "FILE", v.out),
            options::whole("--fps", 1, 60, v.fps),
            options::number("--from", 0, 1e5, v.from),
            options::size("--size", 16, 8192, v.width, v.height),
            options::choice("--preset", {"ultrafast", "veryfast", "slow"}, v.preset),
            {"--version", "", nullptr, true},
        };
        const options::Parsed parsed = options::parse(static_cast<int>(c.args.size()), c.args.data(), table, c.operands);
        std::string args;
        for (const char* a : c.args) args += std::string(" '") + a + "'";
        ASSERT_EQ(parsed.outcome, c.outcome) << args << ": " << parsed.problem;
        if (c.outcome == Outcome::proceed) {
            std::string got = v.text();
            if (!parsed.operands.empty()) {
                got += '|';
                for (std::size_t i = 0; i < parsed.operands.size(); ++i) got += (i ? " " : "") + std::string(parsed.operands[i]);
            }
            EXPECT_EQ(got, c.want) << args;
        } else if (c.outcome == Outcome::wrong) {
            EXPECT_EQ(parsed.problem, c.want) << args;
        } else if (c.outcome == Outcome::stopped) {
            EXPECT_STREQ(parsed.stoppedBy, "--version") << args;
        }
    }
}

}  // namespace
