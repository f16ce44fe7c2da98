// The window's message box texts for the link's failures.
// Stored in code page 936, the encoding the controls and devices use; the
// comment above each shows the text.
#pragma once

#include <string>

#include "link/link_error.h"

namespace vornik::text {

// 网络编程启动出错
inline constexpr char kMsgSocketLibrary[] = "\xcd\xf8\xc2\xe7\xb1\xe0\xb3\xcc\xc6\xf4\xb6\xaf\xb3\xf6\xb4\xed";

// 套接字错误,请检查错误并重新打开软件
inline constexpr char kMsgReceiveSocket[] = "\xcc\xd7\xbd\xd3\xd7\xd6\xb4\xed\xce\xf3,\xc7\xeb\xbc\xec\xb2\xe9\xb4\xed\xce\xf3\xb2\xa2\xd6\xd8\xd0\xc2\xb4\xf2\xbf\xaa\xc8\xed\xbc\xfe";

// 设置规则失败1
inline constexpr char kMsgReceiveBroadcast[] = "\xc9\xe8\xd6\xc3\xb9\xe6\xd4\xf2\xca\xa7\xb0\xdc""1";

// 设置规则失败2
inline constexpr char kMsgReceiveReuse[] = "\xc9\xe8\xd6\xc3\xb9\xe6\xd4\xf2\xca\xa7\xb0\xdc""2";

// 套接字创建失败
inline constexpr char kMsgEndpointSocket[] = "\xcc\xd7\xbd\xd3\xd7\xd6\xb4\xb4\xbd\xa8\xca\xa7\xb0\xdc";

// 设置socket规则失败
inline constexpr char kMsgEndpointBroadcast[] = "\xc9\xe8\xd6\xc3socket\xb9\xe6\xd4\xf2\xca\xa7\xb0\xdc";

// 设置socket规则失败2
inline constexpr char kMsgEndpointReuse[] = "\xc9\xe8\xd6\xc3socket\xb9\xe6\xd4\xf2\xca\xa7\xb0\xdc""2";

// 绑定SOCKET出错 %d  错误代码 %d
inline constexpr char kMsgEndpointBindFormat[] = "\xb0\xf3\xb6\xa8SOCKET\xb3\xf6\xb4\xed %d  \xb4\xed\xce\xf3\xb4\xfa\xc2\xeb %d";

// 端口被占用
inline constexpr char kMsgSendFailed[] = "\xb6\xcb\xbf\xda\xb1\xbb\xd5\xbc\xd3\xc3";

} // namespace vornik::text

namespace vornik {

// The window's text for a link failure, exactly as its message box shows it.
std::string LinkErrorText936(const LinkError& error);

} // namespace vornik
