#pragma once
// The face the window's dialogs are drawn with. Their templates name "MS Sans Serif", as
// dialog templates always have; each system resolves that name its own way, and not every
// face it may resolve to can be drawn by the window's painter. One file per system.

#include <string>

// A face of the system's that stands for the template's face and that the painter can
// draw: on Linux the name itself, which fontconfig matches to an outline face; on
// Windows the face the system resolves the name to when that is an outline face, else
// the face the system draws its own dialogs' texts with ("MS Sans Serif" is kept there
// as a raster face, which draws nothing in an edit).
std::string DrawableDialogFace(const std::string &templateFace);
