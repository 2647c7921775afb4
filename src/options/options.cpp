#include "options/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace options {

namespace {

Parsed wrong(std::string problem) {
    Parsed parsed;
    parsed.outcome = Outcome::wrong;
    parsed.problem = std::move(problem);
    return parsed;
}

bool isHelp(const char* arg) { return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0; }

const Option* find(const std::vector<Option>& table, const char* arg) {
    for (const Option& option : table) {
        if (std::strcmp(option.name, arg) == 0) return &option;
    }
    return nullptr;
}

}  // namespace

Parsed parse(int argc, const char* const* argv, const std::vector<Option>& table, bool takesOperands) {
    Parsed parsed;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (isHelp(arg)) {
            parsed.outcome = Outcome::help;
            return parsed;
        }
        const Option* option = find(table, arg);
        if (option == nullptr) {
            if (takesOperands && std::strncmp(arg, "--", 2) != 0) {
                parsed.operands.push_back(arg);
                continue;
            }
            return wrong(std::string("unknown argument '") + arg + "'");
        }
        const char* value = nullptr;
        if (!option->wants.empty()) {
            if (i + 1 >= argc) return wrong(std::string(arg) + " wants " + option->wants);
            value = argv[++i];
        }
        if (option->take && !option->take(value)) {
            return wrong(std::string(arg) + " wants " + option->wants + ", not '" + value + "'");
        }
        if (option->stops) {
            parsed.outcome = Outcome::stopped;
            parsed.stoppedBy = option->name;
            return parsed;
        }
    }
    return parsed;
}

bool parseWhole(const char* text, long low, long high, long& value) {
    if (text == nullptr) return false;
    const char* digits = text + (*text == '-' || *text == '+' ? 1 : 0);
    if (*digits < '0' || *digits > '9') return false;  // no spaces, no empty text
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(text, &end, 10);
    if (*end != '\0' || errno == ERANGE || number < low || number > high) return false;
    value = number;
    return true;
}

bool parseNumber(const char* text, double low, double high, double& value) {
    if (text == nullptr || *text == '\0' || std::strchr(" \t\n\v\f\r", *text) != nullptr) return false;
    char* end = nullptr;
    const double number = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(number) || number < low || number > high) return false;
    value = number;
    return true;
}

bool parseSize(const char* text, int low, int high, int& width, int& height) {
    if (text == nullptr) return false;
    const char* x = std::strchr(text, 'x');
    if (x == nullptr) return false;
    const std::string first(text, x);
    long w = 0, h = 0;
    // Digits only: a sign is no part of a size.
    if (first.empty() || first[0] == '-' || first[0] == '+' || x[1] == '-' || x[1] == '+') return false;
    if (!parseWhole(first.c_str(), low, high, w) || !parseWhole(x + 1, low, high, h)) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

Option flag(const char* name, bool& set) {
    return {name, "", [&set](const char*) {
                set = true;
                return true;
            }};
}

Option text(const char* name, const char* wants, const char*& value) {
    return {name, wants, [&value](const char* v) {
                value = v;
                return true;
            }};
}

Option whole(const char* name, int low, int high, int& value) {
    return {name, "a whole number from " + std::to_string(low) + " to " + std::to_string(high),
            [low, high, &value](const char* v) {
                long number = 0;
                if (!parseWhole(v, low, high, number)) return false;
                value = static_cast<int>(number);
                return true;
            }};
}

Option number(const char* name, double low, double high, double& value) {
    char range[96];
    std::snprintf(range, sizeof range, "a number from %g to %g", low, high);
    return {name, range, [low, high, &value](const char* v) { return parseNumber(v, low, high, value); }};
}

Option size(const char* name, int low, int high, int& width, int& height) {
    const std::string lowText = std::to_string(low), highText = std::to_string(high);
    return {name, "WxH from " + lowText + "x" + lowText + " to " + highText + "x" + highText,
            [low, high, &width, &height](const char* v) { return parseSize(v, low, high, width, height); }};
}

Option choice(const char* name, const std::vector<const char*>& choices, const char*& value) {
    std::string wants = "one of";
    for (std::size_t i = 0; i < choices.size(); ++i) wants += (i == 0 ? " " : ", ") + std::string(choices[i]);
    return {name, wants, [choices, &value](const char* v) {
                for (const char* c : choices) {
                    if (std::strcmp(c, v) == 0) {
                        value = c;
                        return true;
                    }
                }
                return false;
            }};
}

}  // namespace options
