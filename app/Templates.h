#pragma once
// The program's dialog templates and the IDs of their controls.

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

enum ControlIds {
    IDC_SEARCH = 1000,
    IDC_DEVICE_LIST = 1001,
    IDC_HTTP_PORT = 1003,
    IDC_STATIC = 1006,
    IDC_DHCP = 1007,
    IDC_DATA_PORT = 1008,
    IDC_RTSP_PORT = 1009,
    IDC_AUDIO_TX_PORT = 1010,
    IDC_USER_ID = 1011,
    IDC_AUDIO_RX_PORT = 1012,
    IDC_PASSWORD = 1014,
    IDC_SAVE = 1015,
    IDC_REBOOT = 1016,
    IDC_SAVE_TO_VMS = 1017,
    IDC_FACTORY_RESET = 1018,
    IDC_CHANGE_PASSWORD = 1019,
    IDC_AUDIO_TX_LABEL = 1020,
    IDC_AUDIO_RX_LABEL = 1021,
    IDC_FILE_SAVE_LIST = 1022,
    IDC_IP = 1023,
    IDC_SUBNET_MASK = 1024,
    IDC_GATEWAY = 1025,
    IDC_DNS = 1026,
    IDC_MODEL_NAME = 1027,
    IDC_DEVICE_INFO = 1028,
    IDC_ADAPTER = 1029,
    IDC_ASSIGN_ADDRESSES = 1030,
};

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
