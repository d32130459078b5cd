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
extern const DialogTemplate kAssignAddressesTemplate; // "Assign Addresses"
extern const std::span<const ControlTemplate> kAssignAddressesControls;

enum ChangePwdControlIds {
    IDC_NEW_PASSWORD = 1033,
    IDC_CONFIRM_PASSWORD = 1034,
    IDC_APPLY_PASSWORD = 1035,
    IDC_CANCEL_PASSWORD = 1036,
};

enum AssignAddressesControlIds {
    IDC_BATCH_START_IP = 1040,
    IDC_BATCH_SUBNET_MASK = 1041,
    IDC_BATCH_GATEWAY = 1042,
    IDC_BATCH_DNS = 1043,
    IDC_BATCH_STATIC = 1044,
    IDC_BATCH_DHCP = 1045,
    IDC_BATCH_HTTP_PORT = 1046,
    IDC_BATCH_USER_ID = 1047,
    IDC_BATCH_PASSWORD = 1048,
    IDC_PLAN_SOURCE = 1049,
    IDC_IMPORT_PLAN = 1050,
    IDC_PLAN_PREVIEW = 1051,
    IDC_PLAN_PROBLEMS = 1052,
    IDC_BATCH_PROGRESS = 1053,
    IDC_APPLY_PLAN = 1054,
    IDC_EXPORT_REPORT = 1055,
    IDC_CANCEL_BATCH = 1056,
    IDC_CLOSE_BATCH = 1057,
};

// Text of the window menu's About entry.
inline constexpr const char *IDS_ABOUTBOX = "&About Lanscout...";
