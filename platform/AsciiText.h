#pragma once
// Texts between the cameras, the user's files and the terminal (camera texts are shown
// through platform/ShownText).

#include "platform/ShownText.h"

#include <string>
#include <string_view>

// The text with the ASCII letters in lower (upper) case; other bytes as they are.
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);

// A space or a tab.
bool IsBlank(char c);

// The text without the blanks (spaces and tabs) around it.
std::string_view TrimBlanks(std::string_view text);

// A value from the user's file, quoted for a message: printable ASCII as it is, every
// other byte \xHH (the file's encoding is not known).
std::string QuotedForMessage(std::string_view bytes);
