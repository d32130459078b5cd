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
extern const DialogTemplate kChangePwdTemplate;    // 141, "Change Password"
extern const std::span<const ControlTemplate> kChangePwdControls;

enum ChangePwdControlIds {
    IDC_NEW_PASSWORD = 1033,
    IDC_CONFIRM_PASSWORD = 1034,
    IDC_APPLY_PASSWORD = 1035,
    IDC_CANCEL_PASSWORD = 1036,
};

// Text of the window menu's About entry.
inline constexpr const char *IDS_ABOUTBOX = "&About Lanscout...";
