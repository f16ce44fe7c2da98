// Texts the device operations write to the info area and show in message boxes.
#pragma once

#include "ops/text.h"

namespace vornik::text {

inline const Text kWelcomeText{QT_TRANSLATE_NOOP("vornik::text", "  本软件适用于：Vornik多探头产品的参数配置。\r\n单击\"搜索\"按钮搜索设备，设备出现在设备列表后，双击设备更新信息到右边信息框中修改参数后，点击\"配置参数\"按钮，设备将保存参数并自动重启\r\n注意事项:\r\n1、确保软件与设备在同一局域网内\r\n2、请确定当前PC只使用一个网卡\r\n3、请按照 搜索->双击选中并读取->配置参数 的步骤来操作\r\n")};

inline const Text kLogSearching{QT_TRANSLATE_NOOP("vornik::text", "搜索...\r\n")};

inline const Text kLogDeviceFound{QT_TRANSLATE_NOOP("vornik::text", "搜索到设备\r\n")};

inline const Text kLogReadingNetwork{QT_TRANSLATE_NOOP("vornik::text", "读取参数...\r\n")};

inline const Text kLogNetworkRead{QT_TRANSLATE_NOOP("vornik::text", "读取网络参数成功！\r\n")};

inline const Text kLogWriting{QT_TRANSLATE_NOOP("vornik::text", "设置参数... \r\n")};

inline const Text kLogBadMac{QT_TRANSLATE_NOOP("vornik::text", "不合格的MAC地址格式!!!\r\n")};

inline const Text kLogWritingMac{QT_TRANSLATE_NOOP("vornik::text", "写入MAC地址...\r\n")};

inline const Text kLogFactoryDefaults{QT_TRANSLATE_NOOP("vornik::text", "恢复出厂设置...\r\n")};

inline const Text kLogReadingDevice{QT_TRANSLATE_NOOP("vornik::text", "读取设备参数...\r\n")};

inline const Text kLogDeviceWritten{QT_TRANSLATE_NOOP("vornik::text", "下载设备参数成功！\r\n")};

inline const Text kLogDeviceRead{QT_TRANSLATE_NOOP("vornik::text", "读取设备参数成功！\r\n")};

inline const Text kMsgReadFirst{QT_TRANSLATE_NOOP("vornik::text", "请先执行\"读取设备参数\"操作;然后进行数据修改后再配置")};

inline const Text kCaptionHint{QT_TRANSLATE_NOOP("vornik::text", "提示")};

inline const Text kMsgTerminalAddressLength{QT_TRANSLATE_NOOP("vornik::text", "终端地址要为8位长度")};

inline const Text kCaptionTerminalAddress{QT_TRANSLATE_NOOP("vornik::text", "终端地址错误")};

// The MAC goes between the two parts.
inline const Text kLogIgnoredReplyBefore{QT_TRANSLATE_NOOP("vornik::text", "已忽略设备 ")};
inline const Text kLogIgnoredReplyAfter{QT_TRANSLATE_NOOP("vornik::text", " 的回复：不是双击选中的设备\r\n")};

// The MAC between the parts.
inline const Text kLogSearchAfterMacBefore{QT_TRANSLATE_NOOP("vornik::text", "设备将改用新MAC地址 ")};
inline const Text kLogSearchAfterMacAfter{QT_TRANSLATE_NOOP("vornik::text", "：请重新搜索，找到后再读写参数\r\n")};

inline const Text kLogFollowingMacBefore{QT_TRANSLATE_NOOP("vornik::text", "已找到新MAC地址 ")};
inline const Text kLogFollowingMacAfter{QT_TRANSLATE_NOOP("vornik::text", " 的设备，之后的操作发往该设备\r\n")};

// The MAC between the parts.
inline const Text kLogNoAnswerBefore{QT_TRANSLATE_NOOP("vornik::text", "设备 ")};
inline const Text kLogNoAnswerAfter{QT_TRANSLATE_NOOP("vornik::text", " 在3秒内没有应答\r\n")};

inline const Text kLogNothingFound{QT_TRANSLATE_NOOP("vornik::text", "3秒内没有搜索到设备\r\n")};

// Said once when the device list holds as many rows as it takes, and once
// when the info log is as long as it may grow.
inline const Text kLogListFull{QT_TRANSLATE_NOOP("vornik::text", "设备列表已满，此后的搜索回复不再列出，未列出的回复数见右键菜单\r\n")};

inline const Text kLogInfoFull{QT_TRANSLATE_NOOP("vornik::text", "提示信息已达上限，此后的信息不再显示，下次操作时清空\r\n")};

} // namespace vornik::text
