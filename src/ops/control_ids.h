// Control ids of the main window and the two pages. The logic addresses every
// control by these numbers.
#pragma once

#include <array>

namespace vornik {

// Main window.
inline constexpr int IDC_DEVICE_LIST_LABEL = 1000;
inline constexpr int IDC_DEVICE_LIST = 1001;
inline constexpr int IDC_SEARCH = 1002;
inline constexpr int IDC_LOCAL_IP = 1005;
inline constexpr int IDC_LOCAL_PORT = 1006;
inline constexpr int IDC_INFO = 1007;
inline constexpr int IDC_TAB = 1047;

// DeviceList columns.
inline constexpr int COL_DEVICE_IP = 0;
inline constexpr int COL_DEVICE_NAME = 1;
inline constexpr int COL_MAC = 2;
inline constexpr int COL_FIRMWARE = 3;

// Network page.
inline constexpr int IDC_NET_SUBNET_MASK = 1018;
inline constexpr int IDC_NET_GATEWAY = 1019;
inline constexpr int IDC_NET_IP_ADDRESS = 1020;
inline constexpr int IDC_NET_IP_MODE = 1021;
inline constexpr int IDC_NET_WRITE = 1024;
inline constexpr int IDC_NET_DEFAULTS = 1025;
inline constexpr int IDC_NET_MAC = 1030;
inline constexpr int IDC_NET_WRITE_MAC = 1031;
inline constexpr int IDC_NET_MAX_CONNECTIONS = 1046;
// Which device (IP and MAC) the page's values came from.
inline constexpr int IDC_NET_SOURCE = 1102;

struct ServerControls {
    int localPort;
    int targetAddress;
    int targetPort;
};
// Servers 1 to 8.
inline constexpr std::array<ServerControls, 8> SERVER_CONTROL_IDS = {{
    {1014, 1015, 1016},
    {1056, 1057, 1058},
    {1026, 1027, 1028},
    {1029, 1032, 1033},
    {1034, 1035, 1036},
    {1037, 1038, 1039},
    {1040, 1041, 1042},
    {1043, 1044, 1045},
}};

// Device page. Several ids repeat ids of the network page: each page is its
// own dialog, so a control is named by its page and its id.
inline constexpr int IDC_DEV_WRITE = 1048;
inline constexpr int IDC_DEV_READ = 1049;
inline constexpr int IDC_DEV_SERVER_COUNT = 1050;
inline constexpr int IDC_DEV_TERMINAL_ADDRESS = 1051;
inline constexpr int IDC_DEV_LOGIN_INTERVAL = 1052;
inline constexpr int IDC_DEV_HEARTBEAT_INTERVAL = 1053;
inline constexpr int IDC_DEV_UPLOAD_INTERVAL = 1054;
inline constexpr int IDC_DEV_WORK_MODE = 1055;
inline constexpr int IDC_DEV_BAUD_RATE = 1056;
inline constexpr int IDC_DEV_MODBUS_TERMINAL_COUNT = 1057;
inline constexpr int IDC_DEV_DATA_BITS = 1066;
inline constexpr int IDC_DEV_PARITY = 1012;
inline constexpr int IDC_DEV_STOP_BITS = 1068;
inline constexpr int IDC_DEV_SOURCE = 1103;
// Channels 1 to 8.
inline constexpr std::array<int, 8> CHANNEL_ADDRESS_IDS = {1058, 1059, 1060, 1061, 1062, 1063, 1064, 1065};

struct LimitControls {
    int tempUpper;
    int tempLower;
    int humidityUpper;
    int humidityLower;
};
// Channels 1 to 8; there is no control 1092.
inline constexpr std::array<LimitControls, 8> LimitEditIds = {{
    {1069, 1077, 1085, 1094},
    {1070, 1078, 1086, 1095},
    {1071, 1079, 1087, 1096},
    {1072, 1080, 1088, 1097},
    {1073, 1081, 1089, 1098},
    {1074, 1082, 1090, 1099},
    {1075, 1083, 1091, 1100},
    {1076, 1084, 1093, 1101},
}};

// The typed edits and the settings field each holds, in the order a write
// checks them (the first refused is the one its box names): the network
// page's own edits, then each server's, the device page's own, then each
// channel's. A server's or a channel's field is named with its prefix
// ("server3.target-port", "channel2.temp-upper").
struct EditField {
    int control;
    const char* field;
};
template <typename Controls>
struct GroupEditField {
    int Controls::*control;
    const char* field;
};
inline constexpr std::array<EditField, 3> NETWORK_EDIT_FIELDS = {{
    {IDC_NET_IP_ADDRESS, "ip"},
    {IDC_NET_SUBNET_MASK, "mask"},
    {IDC_NET_GATEWAY, "gateway"},
}};
inline constexpr std::array<GroupEditField<ServerControls>, 3> SERVER_EDIT_FIELDS = {{
    {&ServerControls::targetPort, "target-port"},
    {&ServerControls::targetAddress, "target-address"},
    {&ServerControls::localPort, "local-port"},
}};
inline constexpr std::array<EditField, 6> DEVICE_EDIT_FIELDS = {{
    {IDC_DEV_TERMINAL_ADDRESS, "terminal-address"},
    {IDC_DEV_LOGIN_INTERVAL, "login-interval"},
    {IDC_DEV_HEARTBEAT_INTERVAL, "heartbeat-interval"},
    {IDC_DEV_UPLOAD_INTERVAL, "upload-interval"},
    {IDC_DEV_BAUD_RATE, "baud"},
    {IDC_DEV_MODBUS_TERMINAL_COUNT, "modbus-terminal-count"},
}};
// A channel's address edit (CHANNEL_ADDRESS_IDS) holds "address" and comes
// first. The limits' order is the device page's columns too.
inline constexpr std::array<GroupEditField<LimitControls>, 4> LIMIT_EDIT_FIELDS = {{
    {&LimitControls::tempUpper, "temp-upper"},
    {&LimitControls::tempLower, "temp-lower"},
    {&LimitControls::humidityUpper, "humidity-upper"},
    {&LimitControls::humidityLower, "humidity-lower"},
}};

} // namespace vornik
