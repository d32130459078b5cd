#pragma once
// The list's text file, as the window has always written it and lanscout-cli's txt
// format writes it: one line a camera, "[firmware] ip<TAB>product" and CR LF, the texts'
// bytes as they are, except that a control character a camera sent is written as \xHH,
// so that the file shown on a terminal cannot move its cursor or rewrite its screen.

#include "camera/Camera.h"

#include <string>

std::string ExportLine(const Camera &camera);
