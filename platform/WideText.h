#pragma once
// Windows names files, shows texts and hands over its command line in UTF-16; the
// program's own texts are UTF-8 bytes. Windows only (WideTextWindows.cpp).

#include <string>
#include <string_view>

// Bytes that are not UTF-8 become U+FFFD, so a bad name finds no file rather than another.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// The system's own words for an error code, without the line end and full stop it comes
// with, so that a message can go on after it; "error N" when the system has none.
std::string SystemMessage(unsigned long code);
