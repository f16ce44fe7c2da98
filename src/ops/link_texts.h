// The window's message box texts for the link's failures.
#pragma once

#include <string>

#include "link/link_error.h"
#include "ops/text.h"

namespace vornik::text {

inline const Text kMsgSocketLibrary{QT_TRANSLATE_NOOP("vornik::text", "网络编程启动出错")};

inline const Text kMsgReceiveSocket{QT_TRANSLATE_NOOP("vornik::text", "套接字错误,请检查错误并重新打开软件")};

inline const Text kMsgReceiveBroadcast{QT_TRANSLATE_NOOP("vornik::text", "设置规则失败1")};

inline const Text kMsgReceiveReuse{QT_TRANSLATE_NOOP("vornik::text", "设置规则失败2")};

inline const Text kMsgEndpointSocket{QT_TRANSLATE_NOOP("vornik::text", "套接字创建失败")};

inline const Text kMsgEndpointBroadcast{QT_TRANSLATE_NOOP("vornik::text", "设置socket规则失败")};

inline const Text kMsgEndpointReuse{QT_TRANSLATE_NOOP("vornik::text", "设置socket规则失败2")};

inline const Text kMsgEndpointBindFormat{QT_TRANSLATE_NOOP("vornik::text", "绑定SOCKET出错 %d  错误代码 %d")};

inline const Text kMsgSendFailed{QT_TRANSLATE_NOOP("vornik::text", "端口被占用")};

} // namespace vornik::text

namespace vornik {

// The window's text for a link failure, exactly as its message box shows it.
std::string LinkErrorText936(const LinkError& error);

} // namespace vornik
