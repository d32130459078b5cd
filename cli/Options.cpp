#include "cli/Options.h"

#include <algorithm>

std::optional<std::string> ParsedOptions::Value(const std::string &name) const
{
    const auto found = values.find(name);
    return found == values.end() ? std::nullopt : std::optional<std::string>(found->second);
}

namespace {

const OptionRule *FindRule(const std::vector<OptionRule> &rules, const std::string &name)
{
    const auto found =
        std::find_if(rules.begin(), rules.end(), [&](const OptionRule &rule) { return rule.name == name; });
    return found == rules.end() ? nullptr : &*found;
}

} // namespace

std::optional<ParsedOptions> ParseOptions(const std::vector<std::string> &args, const std::vector<OptionRule> &rules,
                                          std::string &error)
{
    ParsedOptions parsed;
    bool onlyPositional = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (!onlyPositional && arg == "--") {
            onlyPositional = true;
            continue;
        }
        if (onlyPositional || arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            if (!onlyPositional && arg.size() > 1 && arg[0] == '-') {
                error = "unknown option '" + arg + "'";
                return std::nullopt;
            }
            parsed.positional.push_back(arg);
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const OptionRule *rule = FindRule(rules, name);
        if (!rule) {
            error = "unknown option '--" + name + "'";
            return std::nullopt;
        }
        if (parsed.Has(name)) {
            error = "option '--" + name + "' given twice";
            return std::nullopt;
        }
        if (!rule->takesValue) {
            if (equals != std::string::npos) {
                error = "option '--" + name + "' takes no value";
                return std::nullopt;
            }
            parsed.flags.insert(name);
            continue;
        }
        if (equals != std::string::npos) {
            parsed.values[name] = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            parsed.values[name] = args[++i];
        } else {
            error = "option '--" + name + "' needs a value";
            return std::nullopt;
        }
    }
    return parsed;
}
