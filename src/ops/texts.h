// Texts the device operations write to the info area and show in message boxes.
#pragma once

#include "ops/text.h"

namespace vornik::text {

inline const Text kWelcomeText{QT_TRANSLATE_NOOP("vornik::text", "  本软件适用于：Vornik多探头产品的参数配置。\r\n单击\"搜索\"按钮搜索设备，设备出现在设备列表后，双击设备更新信息到右边信息框中修改参数后，点击\"参数配置\"按钮，设备将保存参数并自动重启\r\n注意事项:\r\n1、确保软件与设备在同一局域网内\r\n2、请确定当前PC只使用一个网卡\r\n3、请按照 搜索->双击选中并读取->参数配置 的步骤来操作\r\n")};

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
// After "服务器1 目标地址：“服务?.cn”": the '?' stands for what code page 936 has no form for.
inline const Text kMsgNotIn936{QT_TRANSLATE_NOOP("vornik::text", "含有GBK编码无法表示的字符（显示为“?”）")};

inline const Text kMsgTerminalAddressLength{QT_TRANSLATE_NOOP("vornik::text", "终端地址要为8位长度")};

inline const Text kCaptionTerminalAddress{QT_TRANSLATE_NOOP("vornik::text", "终端地址错误")};

// The MAC goes between the two parts.
inline const Text kLogIgnoredReplyBefore{QT_TRANSLATE_NOOP("vornik::text", "已忽略设备 ")};
inline const Text kLogIgnoredReplyAfter{QT_TRANSLATE_NOOP("vornik::text", " 的回复：不是双击选中的设备\r\n")};

// The MAC between the parts.
inline const Text kLogSearchAfterMacBefore{QT_TRANSLATE_NOOP("vornik::text", "设备将改用新MAC地址 ")};
inline const Text kLogSearchAfterMacAfter{QT_TRANSLATE_NOOP("vornik::text", "：请重新搜索，找到后再读写参数\r\n")};

inline const Text kLogFollowingMacBefore{QT_TRANSLATE_NOOP("vornik::text", "MAC地址写入成功：已找到新MAC地址 ")};
inline const Text kLogFollowingMacAfter{QT_TRANSLATE_NOOP("vornik::text", " 的设备，之后的操作发往该设备\r\n")};

// The MAC between the parts.
inline const Text kLogNoAnswerBefore{QT_TRANSLATE_NOOP("vornik::text", "设备 ")};
inline const Text kLogNoAnswerAfter{QT_TRANSLATE_NOOP("vornik::text", " 在3秒内没有应答\r\n")};

inline const Text kLogNothingFound{QT_TRANSLATE_NOOP("vornik::text", "3秒内没有搜索到设备\r\n")};

// The buttons that act on the chosen device, before any double-click chose one.
inline const Text kMsgChooseDeviceFirst{QT_TRANSLATE_NOOP("vornik::text", "还没有选中设备：请先点击\"搜索\"，再在设备列表中双击要操作的设备")};

// A write whose page holds values another device (or none) gave; the chosen MAC between the parts.
inline const Text kMsgNetworkNotFromChosenBefore{QT_TRANSLATE_NOOP("vornik::text", "页面上的网络参数不是从选中的设备 ")};
inline const Text kMsgNetworkNotFromChosenAfter{QT_TRANSLATE_NOOP("vornik::text", " 读取的：请先双击该设备读取它的网络参数，修改后再点击\"参数配置\"")};
inline const Text kMsgDeviceNotFromChosenBefore{QT_TRANSLATE_NOOP("vornik::text", "页面上的设备参数不是从选中的设备 ")};
inline const Text kMsgDeviceNotFromChosenAfter{QT_TRANSLATE_NOOP("vornik::text", " 读取的：请先点击\"读取设备参数\"，修改后再配置")};

// A new MAC no single device may have; the MAC goes before the reason.
inline const Text kMsgNewMacBefore{QT_TRANSLATE_NOOP("vornik::text", "新MAC地址 ")};
inline const Text kMsgMacBroadcast{QT_TRANSLATE_NOOP("vornik::text", " 是广播地址，不能分配给设备")};
inline const Text kMsgMacAllZero{QT_TRANSLATE_NOOP("vornik::text", " 全为0，不能分配给设备")};
inline const Text kMsgMacMulticast{QT_TRANSLATE_NOOP("vornik::text", " 是组播地址（第一个字节为奇数），不能分配给设备")};

// Until a search shows whether the MAC write took; the new MAC between the parts.
inline const Text kMsgMacPendingBefore{QT_TRANSLATE_NOOP("vornik::text", "已给设备写入新MAC地址 ")};
inline const Text kMsgMacPendingAfter{QT_TRANSLATE_NOOP("vornik::text", "：请先点击\"搜索\"，确认设备以新地址出现后再操作")};
// The search ended without the new MAC; the MAC between the parts.
inline const Text kLogMacNotFoundBefore{QT_TRANSLATE_NOOP("vornik::text", "搜索结束，没有找到新MAC地址 ")};
inline const Text kLogMacNotFoundAcknowledged{QT_TRANSLATE_NOOP("vornik::text", " 的设备：设备应答了写入，但新地址未生效，未能确认MAC地址写入\r\n")};
inline const Text kLogMacNotFoundSilent{QT_TRANSLATE_NOOP("vornik::text", " 的设备：设备没有应答，MAC地址未写入\r\n")};

// The address fields as vornikctl checks them; the field's label and text go before the reason.
inline const Text kMsgMaskNotContiguous{QT_TRANSLATE_NOOP("vornik::text", "无效：掩码中的1必须连续，如255.255.255.0")};
inline const Text kMsgMaskEmpty{QT_TRANSLATE_NOOP("vornik::text", "无效：掩码为0时设备无法经网关访问其他网段")};
inline const Text kMsgIpIsNetwork{QT_TRANSLATE_NOOP("vornik::text", "是所在子网的网络地址，不能作为设备地址")};
inline const Text kMsgIpIsBroadcast{QT_TRANSLATE_NOOP("vornik::text", "是所在子网的广播地址，不能作为设备地址")};
inline const Text kMsgGatewayOutside{QT_TRANSLATE_NOOP("vornik::text", "不在静态IP和子网掩码所定的子网内")};

// The factory reset: asked first, its outcome said as vornikctl's defaults says it; the MAC between the parts.
inline const Text kCaptionFactoryDefaults{QT_TRANSLATE_NOOP("vornik::text", "恢复出厂设置")};
inline const Text kMsgConfirmDefaultsBefore{QT_TRANSLATE_NOOP("vornik::text", "恢复出厂设置将清除设备 ")};
inline const Text kMsgConfirmDefaultsAfter{QT_TRANSLATE_NOOP("vornik::text", " 的全部网络参数和设备参数，无法撤销。确定继续吗？")};
inline const Text kLogDefaultsConfirmed{QT_TRANSLATE_NOOP("vornik::text", "恢复出厂设置成功：读回的参数已改变\r\n")};
inline const Text kLogDefaultsAcknowledgedUnchanged{QT_TRANSLATE_NOOP("vornik::text", "设备应答了恢复出厂设置，但读回的参数没有改变（也许本来就是出厂值），未能确认\r\n")};
inline const Text kLogDefaultsSilentUnchanged{QT_TRANSLATE_NOOP("vornik::text", "设备没有应答恢复出厂设置，读回的参数也没有改变（也许本来就是出厂值），未能确认\r\n")};
inline const Text kLogDefaultsNoReadBack{QT_TRANSLATE_NOOP("vornik::text", "恢复出厂设置后没有读回参数，未能确认\r\n")};
inline const Text kLogDefaultsNotSent{QT_TRANSLATE_NOOP("vornik::text", "未能读取设备的参数，没有发送恢复出厂设置\r\n")};

// A read-back that came after its write was said unconfirmed, and holds what was written.
inline const Text kLogConfirmedLate{QT_TRANSLATE_NOOP("vornik::text", "迟到的读回与写入的参数一致：写入已确认\r\n")};

// What a screen reader says of the device list's row the pages were read from.
inline const Text kChosenRowDescription{QT_TRANSLATE_NOOP("vornik::text", "已选中：参数页显示这台设备的参数")};

// The history's operations as the operator reads them (the names the window and vornikctl record).
inline const Text kOpRead{QT_TRANSLATE_NOOP("vornik::text", "读取参数")};
inline const Text kOpWriteNetwork{QT_TRANSLATE_NOOP("vornik::text", "写网络参数")};
inline const Text kOpWriteDevice{QT_TRANSLATE_NOOP("vornik::text", "写设备参数")};
inline const Text kOpWriteMac{QT_TRANSLATE_NOOP("vornik::text", "写MAC")};
inline const Text kOpFactoryDefaults{QT_TRANSLATE_NOOP("vornik::text", "恢复出厂设置")};
inline const Text kOpApply{QT_TRANSLATE_NOOP("vornik::text", "应用参数文件")};
inline const Text kOpSetNetwork{QT_TRANSLATE_NOOP("vornik::text", "修改网络参数")};
inline const Text kOpSetDevice{QT_TRANSLATE_NOOP("vornik::text", "修改设备参数")};
inline const Text kOpGetNetwork{QT_TRANSLATE_NOOP("vornik::text", "读取网络参数")};
inline const Text kOpGetDevice{QT_TRANSLATE_NOOP("vornik::text", "读取设备参数")};
inline const Text kOpRestore{QT_TRANSLATE_NOOP("vornik::text", "恢复历史参数")};
inline const Text kOpReplace{QT_TRANSLATE_NOOP("vornik::text", "替换设备")};
inline const Text kOpExport{QT_TRANSLATE_NOOP("vornik::text", "导出参数")};

// Said once when the device list holds as many rows as it takes, and once
// when the info log is as long as it may grow.
inline const Text kLogListFull{QT_TRANSLATE_NOOP("vornik::text", "设备列表已满，此后的搜索回复不再列出，未列出的回复数见右键菜单\r\n")};

inline const Text kLogInfoFull{QT_TRANSLATE_NOOP("vornik::text", "提示信息已达上限，此后的信息不再显示，下次操作时清空\r\n")};

// A search that found nothing on Windows: which inbound rule the firewall needs.
inline const Text kLogFirewallRule{QT_TRANSLATE_NOOP("vornik::text", "设备的回复是发往UDP端口1901的广播，Windows防火墙没有入站规则时会丢弃它们，搜索就找不到设备。请以管理员身份在命令提示符中运行（规则用于专用和域网络）：\r\nnetsh advfirewall firewall add rule name=\"Vornik Setup (UDP 1901 in)\" dir=in action=allow protocol=UDP localport=1901 program=\"%ProgramFiles%\\Vornik Setup\\Vornik_Setup.exe\" profile=domain,private\r\n")};

// The history dialog ("历史记录...").
inline const Text kHistoryTime{QT_TRANSLATE_NOOP("vornik::text", "时间 (UTC)")};
inline const Text kHistoryProgram{QT_TRANSLATE_NOOP("vornik::text", "程序")};
inline const Text kHistoryOperation{QT_TRANSLATE_NOOP("vornik::text", "操作")};
inline const Text kHistoryStage{QT_TRANSLATE_NOOP("vornik::text", "阶段")};
inline const Text kHistoryIp{QT_TRANSLATE_NOOP("vornik::text", "设备IP")};
inline const Text kHistoryChanges{QT_TRANSLATE_NOOP("vornik::text", "改动")};
inline const Text kHistoryStageRead{QT_TRANSLATE_NOOP("vornik::text", "读取")};
inline const Text kHistoryStageBefore{QT_TRANSLATE_NOOP("vornik::text", "写入前")};
inline const Text kHistoryStageAfter{QT_TRANSLATE_NOOP("vornik::text", "写入后读回")};
inline const Text kHistoryNoChange{QT_TRANSLATE_NOOP("vornik::text", "—")};
inline const Text kHistoryChangeSeparator{QT_TRANSLATE_NOOP("vornik::text", "，")};
// The MAC between the parts.
inline const Text kHistoryEmptyBefore{QT_TRANSLATE_NOOP("vornik::text", "设备 ")};
inline const Text kHistoryEmptyAfter{QT_TRANSLATE_NOOP("vornik::text", " 还没有历史记录。")};
inline const Text kHistoryHeadingBefore{QT_TRANSLATE_NOOP("vornik::text", "设备 ")};
inline const Text kHistoryHeadingAfter{QT_TRANSLATE_NOOP("vornik::text", " 的读取和写入，最新的在前。选中一项后“填入页面”显示设备在那之后的参数，不发送任何数据。")};
// The MAC, then the time, between the parts.
inline const Text kHistoryFilledBefore{QT_TRANSLATE_NOOP("vornik::text", "已从历史记录填入页面：设备 ")};
inline const Text kHistoryFilledAt{QT_TRANSLATE_NOOP("vornik::text", " 在 ")};
inline const Text kHistoryFilledAfter{QT_TRANSLATE_NOOP("vornik::text", " 的参数，尚未发送，写入请按“参数配置”或“配置设备参数”\r\n")};
inline const Text kHistoryUnreadable{QT_TRANSLATE_NOOP("vornik::text", "无法读取历史记录：")};

// "导出参数..." and "导入参数...".
inline const Text kExportFailed{QT_TRANSLATE_NOOP("vornik::text", "导出参数失败：")};
inline const Text kExportNothingFromDevice{QT_TRANSLATE_NOOP("vornik::text", "两页的参数都不是从设备读取的；请先双击设备读取网络参数，并按“读取设备参数”。未写入文件。")};
inline const Text kExportNotWritten{QT_TRANSLATE_NOOP("vornik::text", "。未写入文件。")};
// The file's name between the parts.
inline const Text kFileNotWrittenBefore{QT_TRANSLATE_NOOP("vornik::text", "无法写入文件 ")};
inline const Text kFileNotWrittenAfter{QT_TRANSLATE_NOOP("vornik::text", "（目录是否存在、能否写入、磁盘是否已满）")};
inline const Text kExportDoneBefore{QT_TRANSLATE_NOOP("vornik::text", "已导出参数到 ")};
inline const Text kExportDoneAfter{QT_TRANSLATE_NOOP("vornik::text", "：")};
inline const Text kExportNetworkPage{QT_TRANSLATE_NOOP("vornik::text", "网络参数")};
inline const Text kExportDevicePage{QT_TRANSLATE_NOOP("vornik::text", "设备参数")};
// The page's name, then the MAC, between the parts.
inline const Text kExportFromDeviceBefore{QT_TRANSLATE_NOOP("vornik::text", "（来自设备 ")};
inline const Text kExportFromDeviceAfter{QT_TRANSLATE_NOOP("vornik::text", "）")};
inline const Text kExportPageNotFromDevice{QT_TRANSLATE_NOOP("vornik::text", "页不是从设备读取的，未导出")};
inline const Text kExportPartSeparator{QT_TRANSLATE_NOOP("vornik::text", "；")};
inline const Text kImportFailed{QT_TRANSLATE_NOOP("vornik::text", "导入参数失败：")};
inline const Text kImportPagesUnchanged{QT_TRANSLATE_NOOP("vornik::text", "。参数页没有改变。")};

// "保存数据包记录...".
inline const Text kPacketRecordNone{QT_TRANSLATE_NOOP("vornik::text", "保存数据包记录失败：本次运行没有记录数据包。")};
inline const Text kPacketRecordFailed{QT_TRANSLATE_NOOP("vornik::text", "保存数据包记录失败：")};
// The file's name, then the count, between the parts.
inline const Text kPacketRecordSavedBefore{QT_TRANSLATE_NOOP("vornik::text", "已保存数据包记录到 ")};
inline const Text kPacketRecordSavedCount{QT_TRANSLATE_NOOP("vornik::text", "（")};
inline const Text kPacketRecordSavedAfter{QT_TRANSLATE_NOOP("vornik::text", " 个数据报）\r\n")};

} // namespace vornik::text
