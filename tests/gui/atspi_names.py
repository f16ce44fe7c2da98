#!/usr/bin/python3
# What a screen reader hears, asked over the accessibility bus as one asks:
# every field of the window (PID given) by the name of its label, and no
# drop-down or edit by its value. Exit 0 when all are heard so, 1 otherwise.
import sys
import time

import pyatspi

# The labels as the window shows them; where one repeats, its group or channel first.
EDITS = ["本机IP地址", "本机端口", "静态IP", "子网掩码", "网关地址", "MAC地址",
         "终端地址", "登陆帧间隔时间", "心跳包间隔时间", "主动上送帧间隔时间",
         "485口波特率", "Modbus终端数量(1-8)"]
EDITS += ["服务器%d %s" % (k, f) for k in range(1, 9) for f in ("目标端口", "目标地址", "本地端口")]
EDITS += ["%d号通道地址" % c for c in range(1, 9)]
EDITS += ["%d号通道 %s" % (c, f) for c in range(1, 9) for f in ("温度上限", "温度下限", "湿度上限", "湿度下限")]
DROP_DOWNS = ["IP获取方式", "最大连接数量", "服务器数量", "工作模式", "485口数据位", "485口校验位", "485口停止位"]
OTHERS = {"设备列表", "信息提示区"}

FIELD_ROLES = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT}


def find_application(pid, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == pid and app.childCount > 0:
                    return app
            except Exception:  # an application going away while asked
                continue
        time.sleep(0.2)
    return None


def walk(node, out, depth=0):
    if node is None or depth > 40:
        return
    out.append(node)
    for i in range(node.childCount):
        walk(node.getChildAtIndex(i), out, depth + 1)


def main():
    pid = int(sys.argv[1])
    app = find_application(pid, 30)
    if app is None:
        print("FAIL: the window never appeared on the accessibility bus")
        return 1
    nodes = []
    walk(app, nodes)
    boxes = [n for n in nodes if n.getRole() == pyatspi.ROLE_COMBO_BOX]
    fields = [n for n in nodes if n.getRole() in FIELD_ROLES]
    heard_boxes = sorted(b.name for b in boxes)
    failures = []
    if heard_boxes != sorted(DROP_DOWNS):
        failures.append("drop-downs heard as %s, expected %s" % (heard_boxes, sorted(DROP_DOWNS)))
    # A drop-down's text field is heard by the box's name too.
    heard_fields = [f.name for f in fields]
    for name in EDITS:
        if name not in heard_fields:
            failures.append("no edit heard as %r" % name)
    allowed = set(EDITS) | set(DROP_DOWNS) | OTHERS
    for f in fields:
        if f.name not in allowed:
            failures.append("an edit heard as %r (its text: %r)" % (f.name, f.queryText().getText(0, -1)))
    for b in boxes:
        value = b.queryText().getText(0, -1) if "Text" in pyatspi.listInterfaces(b) else None
        if value is not None and value == b.name:
            failures.append("drop-down %r heard by its value" % b.name)
    for line in failures:
        print("FAIL: " + line)
    print("%d drop-downs and %d edits heard over AT-SPI" % (len(boxes), len(fields)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
