#pragma once
// A reader of the hand-over hive's values.reg, written apart from the product's writer,
// as the video management system would read the file: the tests read back through it
// what the writer and the window wrote.

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace regfile {

enum class Kind { Dword, Sz, Binary };

struct Value {
    std::string name;
    Kind kind;
    std::string bytes;
    bool operator==(const Value &) const = default;
};

struct ValuesFile {
    std::string key;
    std::vector<Value> values;
};

inline std::optional<unsigned> HexDigit(char c)
{
    const auto at = std::string_view("0123456789abcdef").find(c);
    return at == std::string_view::npos ? std::nullopt : std::optional<unsigned>(static_cast<unsigned>(at));
}

// "61,62,00" -> the bytes; "" -> none.
inline std::optional<std::string> HexList(std::string_view list)
{
    std::string bytes;
    for (std::size_t i = 0; i < list.size(); i += 3) {
        const bool separated = i + 2 == list.size() || (i + 2 < list.size() && list[i + 2] == ',');
        const auto high = HexDigit(list[i]), low = i + 1 < list.size() ? HexDigit(list[i + 1]) : std::nullopt;
        if (!separated || !high || !low || i + 3 == list.size())
            return std::nullopt;
        bytes += static_cast<char>(*high << 4 | *low);
    }
    return bytes;
}

// The quoted field at the start of text, unescaped; rest is what follows it.
inline std::optional<std::string> Quoted(std::string_view text, std::string_view &rest)
{
    if (!text.starts_with('"'))
        return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            rest = text.substr(i + 1);
            return out;
        }
        if (text[i] == '\\' && (++i == text.size() || (text[i] != '\\' && text[i] != '"')))
            return std::nullopt;
        out += text[i];
    }
    return std::nullopt;
}

inline std::optional<Value> ParseData(std::string name, std::string_view data)
{
    std::string_view rest;
    if (data.starts_with("dword:") && data.size() == 14) {
        std::uint32_t number = 0;
        for (const char c : data.substr(6)) {
            const auto digit = HexDigit(c);
            if (!digit)
                return std::nullopt;
            number = number << 4 | *digit;
        }
        std::string bytes;
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>(number >> (8 * i) & 0xFF);
        return Value{name, Kind::Dword, bytes};
    }
    if (data.starts_with("hex(1):")) {
        const auto bytes = HexList(data.substr(7));
        if (!bytes || !bytes->ends_with('\0'))
            return std::nullopt;
        return Value{name, Kind::Sz, *bytes};
    }
    if (data.starts_with("hex:")) {
        const auto bytes = HexList(data.substr(4));
        return bytes ? std::optional<Value>(Value{name, Kind::Binary, *bytes}) : std::nullopt;
    }
    const auto text = Quoted(data, rest);
    if (!text || !rest.empty())
        return std::nullopt;
    return Value{name, Kind::Sz, *text + '\0'};
}

inline std::optional<Value> ParseValue(std::string_view line)
{
    std::string_view data;
    if (line.starts_with("@="))
        return ParseData("", line.substr(2));
    const auto name = Quoted(line, data);
    if (!name || !data.starts_with('='))
        return std::nullopt;
    return ParseData(*name, data.substr(1));
}

// The whole file or nothing: a file cut anywhere, even between lines, is refused.
inline std::optional<ValuesFile> ParseValuesFile(const std::string &text)
{
    if (!text.ends_with('\n'))
        return std::nullopt;
    std::istringstream in(text);
    std::string header, key;
    if (!std::getline(in, header) || header != "Windows Registry Editor Version 5.00" || !std::getline(in, key) ||
        !key.starts_with('[') || !key.ends_with(']'))
        return std::nullopt;
    ValuesFile file{key.substr(1, key.size() - 2), {}};
    for (std::string line; std::getline(in, line);) {
        auto value = ParseValue(line);
        if (!value)
            return std::nullopt;
        file.values.push_back(*value);
    }
    return file;
}

} // namespace regfile
