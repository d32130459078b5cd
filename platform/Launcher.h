#pragma once
// Opens a web address in the desktop's default browser.

#include <string>

// Hands the address to the desktop; whether a browser came up is not known here.
void OpenInBrowser(const std::string &url);
