#pragma once
// The program's dialog templates.

#include "platform/DialogTemplate.h"

#include <span>

extern const DialogTemplate kMainTemplate;         // 102, the main window
extern const std::span<const ControlTemplate> kMainControls;
extern const DialogTemplate kAboutTemplate;        // 100
extern const std::span<const ControlTemplate> kAboutControls;
extern const DialogTemplate kWaitTemplate;         // 140, "Please Wait..."
extern const std::span<const ControlTemplate> kWaitControls;

// Text of the window menu's About entry.
inline constexpr const char *IDS_ABOUTBOX = "&About Lanscout...";
