#include "platform/AsciiText.h"

#include "platform/ShownText.h"

namespace {

// Latin-1 letters stay as they are: a locale's case rules must not decide what a
// column or a MAC is.
std::string MappedLetters(std::string_view text, char from, char to)
{
    std::string mapped(text);
    for (char &c : mapped)
        if (c >= from && c < from + 26)
            c = char(c - from + to);
    return mapped;
}

} // namespace

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string AsciiLower(std::string_view text)
{
    return MappedLetters(text, 'A', 'a');
}

std::string AsciiUpper(std::string_view text)
{
    return MappedLetters(text, 'a', 'A');
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string QuotedForMessage(std::string_view bytes)
{
    std::string out = "\"";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\')
            out += c;
        else
            AppendHexEscape(out, byte);
    }
    return out + "\"";
}
