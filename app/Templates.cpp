#include "app/Templates.h"

namespace {

using K = ControlKind;

// Template order is also the tab order.
const ControlTemplate kMain[] = {
    {IDC_SEARCH, K::PushButton, "Search", 7, 27, 434, 20, StyleNone, nullptr},
    {IDC_DEVICE_LIST, K::ListView, nullptr, 7, 56, 434, 340, StyleNone, "Devices"},
    {IDC_STATIC, K::RadioButton, "STATIC", 483, 75, 47, 10, StyleGroupStart, nullptr},
    {IDC_DHCP, K::RadioButton, "DHCP", 544, 75, 34, 10, StyleNone, nullptr},
    {-1, K::Label, "Subnet Mask", 450, 126, 49, 8, StyleGroupStart, nullptr},
    {-1, K::Label, "Gateway", 450, 142, 49, 8, StyleNone, nullptr},
    {IDC_HTTP_PORT, K::Edit, nullptr, 515, 193, 92, 14, StyleNone, "HTTP Port"},
    {-1, K::Label, "HTTP Port", 450, 196, 49, 8, StyleNone, nullptr},
    {IDC_DATA_PORT, K::Edit, nullptr, 515, 210, 92, 14, StyleDisabled, "DATA Port"},
    {-1, K::Label, "DATA Port", 450, 213, 49, 8, StyleDisabled, nullptr},
    {IDC_RTSP_PORT, K::Edit, nullptr, 515, 227, 92, 14, StyleDisabled, "RTSP Port"},
    {-1, K::Label, "RTSP Port", 450, 231, 49, 8, StyleDisabled, nullptr},
    {IDC_AUDIO_TX_PORT, K::Edit, nullptr, 515, 245, 92, 14, StyleDisabled, "Audio Transmit Port"},
    {IDC_AUDIO_TX_LABEL, K::Label, "Audio Transmit Port", 450, 250, 65, 8, StyleDisabled, nullptr},
    {IDC_AUDIO_RX_PORT, K::Edit, nullptr, 515, 262, 92, 14, StyleDisabled, "Audio Receive Port"},
    {IDC_AUDIO_RX_LABEL, K::Label, "Audio Receive Port", 450, 266, 58, 8, StyleDisabled, nullptr},
    {-1, K::Label, "DNS", 450, 157, 49, 8, StyleNone, nullptr},
    {IDC_SAVE, K::PushButton, "Save", 445, 351, 84, 20, StyleNone, nullptr},
    {-1, K::Label, "IP", 450, 111, 49, 8, StyleNone, nullptr},
    {-1, K::GroupBox, nullptr, 260, 350, 169, 42, StyleHidden, "ActiveX Note"},
    {IDC_SAVE_TO_VMS, K::PushButton, "Save to HALVEX", 445, 376, 170, 20, StyleNone, nullptr},
    {IDC_ASSIGN_ADDRESSES, K::PushButton, "&Assign Addresses...", 445, 401, 170, 20, StyleDisabled, "Assign Addresses"},
    {-1, K::GroupBox, "IP Setting", 445, 93, 169, 80, StyleNone, nullptr},
    {-1, K::GroupBox, "Port Setting", 445, 181, 169, 103, StyleNone, nullptr},
    {-1, K::GroupBox, nullptr, 445, 65, 169, 24, StyleNone, "Address Mode"},
    {IDC_FILE_SAVE_LIST, K::PushButton, "File Save List", 336, 17, 78, 20, StyleHidden | StyleDisabled, nullptr},
    {-1, K::CentredLabel, "All ActiveX of IP camera's webviewer will be deleted!", 269, 378, 160, 10, StyleHidden, nullptr},
    {-1, K::GroupBox, "Authentication", 445, 291, 169, 54, StyleNone, nullptr},
    {IDC_USER_ID, K::Edit, nullptr, 515, 302, 92, 14, StyleNone, "User ID"},
    {-1, K::Label, "User ID", 450, 305, 49, 8, StyleNone, nullptr},
    {IDC_PASSWORD, K::PasswordEdit, nullptr, 515, 322, 92, 14, StyleNone, "Password"},
    {-1, K::Label, "Password", 450, 325, 49, 8, StyleNone, nullptr},
    {IDC_IP, K::Edit, nullptr, 515, 106, 92, 14, StyleNone, "IP"},
    {IDC_SUBNET_MASK, K::Edit, nullptr, 515, 122, 92, 14, StyleNone, "Subnet Mask"},
    {IDC_GATEWAY, K::Edit, nullptr, 515, 138, 92, 14, StyleNone, "Gateway"},
    {IDC_DNS, K::Edit, nullptr, 515, 154, 92, 14, StyleNone, "DNS"},
    {-1, K::GroupBox, "Device Info", 445, 7, 169, 56, StyleNone, nullptr},
    {-1, K::Label, "Model Name", 451, 28, 49, 8, StyleNone, nullptr},
    {IDC_MODEL_NAME, K::ReadOnlyEdit, nullptr, 504, 24, 103, 14, StyleNone, "Model Name"},
    {IDC_DEVICE_INFO, K::ReadOnlyEdit, nullptr, 450, 42, 157, 14, StyleNone, "Device Info"},
    {IDC_ADAPTER, K::ComboBox, nullptr, 7, 11, 434, 103, StyleNone, "Adapter"},
    {IDC_REBOOT, K::PushButton, "Reboot", 445, 375, 84, 20, StyleHidden, nullptr},
    {IDC_FACTORY_RESET, K::PushButton, "Factory Reset (SW)", 530, 375, 84, 20, StyleHidden, nullptr},
    {IDC_CHANGE_PASSWORD, K::PushButton, "Change Password", 531, 351, 84, 20, StyleNone, nullptr},
};

const ControlTemplate kAbout[] = {
    {-1, K::Icon, nullptr, 11, 17, 20, 20, StyleNone, "Lanscout"},
    {-1, K::Label, "Lanscout Version 1.0", 40, 10, 119, 8, StyleNone, nullptr},
    {-1, K::Label, "Finds and sets up IP cameras", 40, 25, 119, 8, StyleNone, nullptr},
    {1, K::DefaultButton, "OK", 178, 7, 50, 14, StyleNone, nullptr},
};

const ControlTemplate kWait[] = {
    {-1, K::CentredLabel, "Please Wait...", 12, 18, 106, 13, StyleNone, nullptr},
};

const ControlTemplate kChangePwd[] = {
    {-1, K::Label, "New Password:", 12, 13, 66, 11, StyleNone, nullptr},
    {IDC_NEW_PASSWORD, K::PasswordEdit, nullptr, 80, 11, 89, 14, StyleNone, "New Password"},
    {-1, K::Label, "Confirm Password:", 12, 34, 68, 11, StyleNone, nullptr},
    {IDC_CONFIRM_PASSWORD, K::PasswordEdit, nullptr, 80, 31, 89, 14, StyleNone, "Confirm Password"},
    {IDC_APPLY_PASSWORD, K::PushButton, "Apply", 47, 59, 60, 18, StyleNone, nullptr},
    {IDC_CANCEL_PASSWORD, K::PushButton, "Cancel", 110, 59, 60, 18, StyleNone, nullptr},
};

// The form first, then what it plans, then what is done with the plan.
const ControlTemplate kAssignAddresses[] = {
    {-1, K::Label, "Start IP", 7, 10, 50, 8, StyleNone, nullptr},
    {IDC_BATCH_START_IP, K::Edit, nullptr, 60, 7, 80, 14, StyleNone, "Start IP"},
    {-1, K::Label, "Subnet Mask", 7, 27, 50, 8, StyleNone, nullptr},
    {IDC_BATCH_SUBNET_MASK, K::Edit, nullptr, 60, 24, 80, 14, StyleNone, "Subnet Mask"},
    {-1, K::Label, "Gateway", 7, 44, 50, 8, StyleNone, nullptr},
    {IDC_BATCH_GATEWAY, K::Edit, nullptr, 60, 41, 80, 14, StyleNone, "Gateway"},
    {-1, K::Label, "DNS", 7, 61, 50, 8, StyleNone, nullptr},
    {IDC_BATCH_DNS, K::Edit, nullptr, 60, 58, 80, 14, StyleNone, "DNS"},
    {IDC_BATCH_STATIC, K::RadioButton, "STATIC", 155, 9, 47, 10, StyleGroupStart, nullptr},
    {IDC_BATCH_DHCP, K::RadioButton, "DHCP", 210, 9, 40, 10, StyleNone, nullptr},
    {-1, K::Label, "HTTP Port", 155, 27, 50, 8, StyleNone, nullptr},
    {IDC_BATCH_HTTP_PORT, K::Edit, nullptr, 210, 24, 80, 14, StyleNone, "HTTP Port"},
    {-1, K::Label, "User ID", 155, 44, 50, 8, StyleNone, nullptr},
    {IDC_BATCH_USER_ID, K::Edit, nullptr, 210, 41, 80, 14, StyleNone, "User ID"},
    {-1, K::Label, "Password", 155, 61, 50, 8, StyleNone, nullptr},
    {IDC_BATCH_PASSWORD, K::PasswordEdit, nullptr, 210, 58, 80, 14, StyleNone, "Password"},
    {IDC_IMPORT_PLAN, K::PushButton, "&Import Plan...", 313, 7, 80, 16, StyleNone, "Import Plan"},
    {IDC_PLAN_SOURCE, K::Label, "", 7, 80, 386, 8, StyleNone, nullptr},
    {IDC_PLAN_PREVIEW, K::ListView, nullptr, 7, 91, 386, 120, StyleNone, "Preview"},
    {-1, K::Label, "Problems", 7, 216, 386, 8, StyleNone, nullptr},
    {IDC_PLAN_PROBLEMS, K::ListView, nullptr, 7, 226, 386, 44, StyleNone, "Problems"},
    {IDC_BATCH_PROGRESS, K::Label, "", 7, 276, 386, 8, StyleNone, nullptr},
    {IDC_APPLY_PLAN, K::PushButton, "&Apply", 7, 290, 70, 16, StyleDisabled, nullptr},
    {IDC_EXPORT_REPORT, K::PushButton, "&Export Report...", 83, 290, 80, 16, StyleDisabled, "Export Report"},
    {IDC_CANCEL_BATCH, K::PushButton, "Cancel", 249, 290, 70, 16, StyleDisabled, nullptr},
    {IDC_CLOSE_BATCH, K::PushButton, "Close", 323, 290, 70, 16, StyleNone, nullptr},
};

} // namespace

const DialogTemplate kMainTemplate = {"QUORVANE Camera Setup Utility (11.00.0104)", 621, 428, "MS Sans Serif", 8};
const std::span<const ControlTemplate> kMainControls = kMain;
const DialogTemplate kAboutTemplate = {"About Lanscout", 235, 55, "MS Sans Serif", 8};
const std::span<const ControlTemplate> kAboutControls = kAbout;
const DialogTemplate kWaitTemplate = {"", 131, 43, "MS Shell Dlg", 8};
const std::span<const ControlTemplate> kWaitControls = kWait;
const DialogTemplate kChangePwdTemplate = {"Change Password", 183, 84, "MS Sans Serif", 8};
const std::span<const ControlTemplate> kChangePwdControls = kChangePwd;
const DialogTemplate kAssignAddressesTemplate = {"Assign Addresses", 400, 313, "MS Sans Serif", 8};
const std::span<const ControlTemplate> kAssignAddressesControls = kAssignAddresses;
