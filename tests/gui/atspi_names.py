#!/usr/bin/python3
# What a screen reader hears of the window (PID given), asked over AT-SPI:
# every field by its label's name (the group or channel first where a label
# repeats), no drop-down by its value. Exit 0 when so, 1 otherwise.
import os
import sys
import time

import pyatspi

EDITS = {"本机IP地址", "本机端口", "静态IP", "子网掩码", "网关地址", "MAC地址", "终端地址", "登陆帧间隔时间",
         "心跳包间隔时间", "主动上送帧间隔时间", "485口波特率", "Modbus终端数量(1-8)"}
EDITS |= {"服务器%d %s" % (k, f) for k in range(1, 9) for f in ("目标端口", "目标地址", "本地端口")}
EDITS |= {"%d号通道地址" % c for c in range(1, 9)}
EDITS |= {"%d号通道 %s" % (c, f) for c in range(1, 9) for f in ("温度上限", "温度下限", "湿度上限", "湿度下限")}
DROP_DOWNS = ["IP获取方式", "最大连接数量", "服务器数量", "工作模式", "485口数据位", "485口校验位", "485口停止位"]


def application(pid):
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid and app.childCount > 0:
                return app
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            sys.exit("FAIL: the window ended before it appeared on the accessibility bus")
        time.sleep(0.2)
    sys.exit("FAIL: the window never appeared on the accessibility bus")


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


nodes = list(walk(application(int(sys.argv[1]))))
boxes = sorted(n.name for n in nodes if n.getRole() == pyatspi.ROLE_COMBO_BOX)
# A drop-down's text field is heard by the box's name; the info area by its label.
edits = {n.name for n in nodes if n.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY)}
failures = []
if boxes != sorted(DROP_DOWNS):
    failures.append("drop-downs heard as %s" % boxes)
failures += ["no edit heard as %r" % name for name in sorted(EDITS - edits)]
failures += ["an edit heard as %r" % name for name in sorted(edits - EDITS - set(DROP_DOWNS) - {"信息提示区"})]
print("\n".join("FAIL: " + f for f in failures) or "%d drop-downs and %d edits heard by their labels" % (len(boxes), len(edits)))
sys.exit(1 if failures else 0)
