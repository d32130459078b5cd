#pragma once
// Texts between the cameras, the user's files and the terminal. Camera texts are bytes
// shown as Latin-1; what reaches a terminal must not carry control characters, which
// a camera or a file could use to rewrite the screen.

#include <string>
#include <string_view>

// The text with the ASCII letters in lower (upper) case; other bytes as they are.
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

// A space or a tab.
bool IsBlank(char c);

// The text without the blanks (spaces and tabs) around it.
std::string_view TrimBlanks(std::string_view text);

// The bytes read as Latin-1, written as UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);
void AppendLatin1AsUtf8(std::string &out, unsigned char byte);

// True for the bytes Latin-1 gives no glyph: C0 controls, DEL and the C1 controls.
bool IsControlByte(unsigned char byte);

// Latin-1 bytes as UTF-8 for a terminal, each control byte written \xHH.
std::string TerminalText(std::string_view latin1);

// A value from the user's file, quoted for a message: printable ASCII as it is, every
// other byte \xHH (the file's encoding is not known).
std::string QuotedForMessage(std::string_view bytes);
