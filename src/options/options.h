// Command-line options of the player and the tools, read from one table per command.
// Each entry names an option ("--size") and says what its value must be; its value is
// the next argument ("--size 800x600"), never glued to it ("--size=800x600" is unknown).
// A later option wins over an earlier one. "--help" and "-h" ask for the help text where
// they stand, and an entry marked `stops` (the player's "--version") acts the same way:
// anything before them must be right, nothing after them is read.
//
// Messages are one line without a newline, naming the argument as given:
//   unknown argument '--size=800x600'
//   --fps wants a whole number from 1 to 60
//   --fps wants a whole number from 1 to 60, not '61'
//
// Needs: nothing but the standard library (the player and every tool link it).
// Tested by: tests/unit/test_options.cpp (one table of argument lists); each program's
//   own table through its command line (tests/unit/test_command_line.cpp,
//   tests/e2e/video_capture.sh).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace options {

struct Option {
    const char* name;   // "--size"
    std::string wants;  // what its value must be, for messages; empty: it takes no value
    // Stores the value (null for an option without one); false when the value is wrong.
    std::function<bool(const char* value)> take;
    bool stops = false;  // acts where it stands, like --help
};

enum class Outcome {
    proceed,  // every argument was right
    help,     // --help or -h
    stopped,  // an option marked `stops`: `stoppedBy` names it
    wrong,    // `problem` says what was wrong
};

struct Parsed {
    Outcome outcome = Outcome::proceed;
    std::string problem;
    const char* stoppedBy = nullptr;
    std::vector<const char*> operands;  // the arguments that are no option, in order
};

// Reads argv[0..argc). With `takesOperands`, an argument that is no option and does
// not begin with "--" is an operand ("-5" and "-" are operands); without, it is wrong.
Parsed parse(int argc, const char* const* argv, const std::vector<Option>& table, bool takesOperands = false);

// The values the options take, as pure functions: the whole text must be the value.
// A whole number in decimal digits (a leading sign allowed) from low to high.
bool parseWhole(const char* text, long low, long high, long& value);
// A finite decimal number (strtod's forms, no infinity, no NaN) from low to high.
bool parseNumber(const char* text, double low, double high, double& value);
// "WxH", both whole numbers from low to high: "1920x1080".
bool parseSize(const char* text, int low, int high, int& width, int& height);

// Entries for the common kinds of option.
Option flag(const char* name, bool& set);  // sets true
Option text(const char* name, const char* wants, const char*& value);
Option whole(const char* name, int low, int high, int& value);
Option number(const char* name, double low, double high, double& value);
Option size(const char* name, int low, int high, int& width, int& height);
// One of `choices` (the pointer kept is the table's own); the message lists them.
Option choice(const char* name, const std::vector<const char*>& choices, const char*& value);

}  // namespace options
