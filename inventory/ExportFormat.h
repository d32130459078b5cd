#pragma once
// The list's text file, as the window has always written it: one line a camera,
// "[firmware] ip<TAB>product" and CR LF, the texts' bytes as they are.

#include <string>

std::string ExportLine(const std::string &firmware, const std::string &ip, const std::string &product);
