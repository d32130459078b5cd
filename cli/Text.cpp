#include "cli/Text.h"

namespace {

void AppendHexEscape(std::string &out, unsigned char byte)
{
    static const char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

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

void AppendLatin1AsUtf8(std::string &out, unsigned char byte)
{
    if (byte < 0x80) {
        out += char(byte);
        return;
    }
    out += char(0xC0 | (byte >> 6));
    out += char(0x80 | (byte & 0x3F));
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsControlByte(unsigned char byte)
{
    return byte < 0x20 || (byte >= 0x7F && byte < 0xA0);
}

std::string ShownText(std::string_view latin1, TextTarget target)
{
    std::string out;
    out.reserve(latin1.size());
    for (char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (IsControlByte(byte) && !(c == '\t' && target.keepsTabs))
            AppendHexEscape(out, byte);
        else if (target.utf8)
            AppendLatin1AsUtf8(out, byte);
        else
            out += c;
    }
    return out;
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
