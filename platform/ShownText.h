#pragma once
// Camera texts shown on a terminal or written to a file. Camera texts are bytes shown as
// Latin-1; what reaches a terminal must not carry control characters, which a camera
// could use to move the cursor, ring a bell or rewrite the screen.

#include <string>
#include <string_view>

// A Latin-1 byte as UTF-8.
void AppendLatin1AsUtf8(std::string &out, unsigned char byte);

// The byte as \xHH.
void AppendHexEscape(std::string &out, unsigned char byte);

// True for the bytes Latin-1 gives no glyph: C0 controls, DEL and the C1 controls.
bool IsControlByte(unsigned char byte);

// Where a camera's text is shown, and so what it may keep. Printable Latin-1 is written
// in the target's encoding; the rest as \xHH.
struct TextTarget {
    bool utf8; // else the Latin-1 bytes as they are
    bool keepsTabs; // a table's columns would not survive one
};
inline constexpr TextTarget kTerminalTarget{true, false}; // table cells, confirmations, messages, debug lines
inline constexpr TextTarget kCsvTarget{true, true};
inline constexpr TextTarget kExportTarget{false, true}; // the window's txt export keeps the bytes

// The one way a camera's text reaches a terminal or a file: no byte of it can move a
// cursor, ring a bell or start an escape sequence.
std::string ShownText(std::string_view latin1, TextTarget target);
