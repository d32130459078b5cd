#include "platform/ShownText.h"

void AppendHexEscape(std::string &out, unsigned char byte)
{
    static const char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
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
