#pragma once
// The command line of one lanscout-cli command: positional arguments, options that take
// a value (--name VALUE or --name=VALUE) and flags.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct OptionRule {
    std::string name; // without the leading dashes
    bool takesValue = false;
};

struct ParsedOptions {
    std::vector<std::string> positional;
    std::map<std::string, std::string> values;
    std::set<std::string> flags;

    bool Has(const std::string &name) const { return values.count(name) || flags.count(name); }
    std::optional<std::string> Value(const std::string &name) const;
};

// Reads args against the command's options; nothing, with the reason in error, for an
// unknown option, a missing value or an option given twice.
std::optional<ParsedOptions> ParseOptions(const std::vector<std::string> &args, const std::vector<OptionRule> &rules,
                                          std::string &error);
