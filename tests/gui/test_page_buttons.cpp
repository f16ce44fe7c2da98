// The pages' buttons through the real widgets: what leaves on the wire (caught
// by a plain socket on the test's loopback port) and the boxes they show.
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include "pages/report_list.h"

#include "gui_fixture.h"
#include "hex.h"
#include "link_fixture.h"
#include "ops/control_ids.h"
#include "vectors.h"

namespace vornik::test {
namespace {

class PageButtons : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        m_listener = std::make_unique<Listener>(m_config.port);
        // A search opens the sending endpoint; nobody answers it.
        Main<QPushButton>(IDC_SEARCH)->click();
        Settle();
        m_listener->Drain(std::chrono::milliseconds(100));
    }

    // Lists a device with the MAC and double-clicks its row.
    void ChooseDevice(const char* macHex)
    {
        auto reply = Hex("55 00 11 02 00 00 00 00 09 00 A8 C0");
        const auto mac = Hex(macHex);
        reply.insert(reply.end(), mac.begin(), mac.end());
        reply.insert(reply.end(), {0x64, 0x00, 0x00});
        Deliver(reply);
        CReportList& list = Window().DeviceList();
        ASSERT_TRUE(WaitFor([&] { return list.RowCount() > 0; }));
        const QPoint cell = list.RowRect(0).center();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        Settle();
    }

    // Device 02-00-00-00-00-01, chosen, answers with the start-up values: the
    // page's values are then the chosen device's, which a write needs.
    void ReadTheStartupValuesFromTheChosenDevice()
    {
        State().TargetMac = {0x02, 0, 0, 0, 0, 0x01};
        std::vector<uint8_t> reply = Hex("55 01 2B 03 02 00 00 00 00 01 80 09 00 A8 C0 01 00 A8 C0 00 FF FF FF");
        reply.resize(10 + 292 + 1, 0);
        reply[10 + 19] = 8;
        for (size_t k = 0; k < 8; ++k) {
            const size_t at = 10 + 20 + 34 * k;
            reply[at] = reply[at + 2] = uint8_t((2000 + k) & 0xFF);
            reply[at + 1] = reply[at + 3] = uint8_t((2000 + k) >> 8);
            std::copy_n("192.168.0.166", 13, reply.begin() + long(at + 4));
        }
        Deliver(reply);
        ASSERT_TRUE(WaitFor([&] { return Net().GetText(IDC_NET_SOURCE).find("MAC") != std::string::npos; }));
    }

    // The frames that left since the last call, as hex, requests only.
    std::vector<std::string> Sent()
    {
        std::vector<std::string> out;
        for (const auto& r : m_listener->Drain(std::chrono::milliseconds(150)))
            if (!r.bytes.empty() && r.bytes[0] == 0xAA) out.push_back(ToHex(r.bytes));
        return out;
    }

    std::unique_ptr<Listener> m_listener;
};

// Nothing goes to 00-00-00-00-00-00: the box says to search and choose first.
TEST_F(PageButtons, NetworkWriteOfTheUntouchedStartupPageWithNoDeviceChosen)
{
    ModalWatcher watcher;
    Net<QPushButton>(IDC_NET_WRITE)->click();
    Settle();
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_TRUE(watcher.Dialogs()[0].text.startsWith(QStringLiteral(u"还没有选中设备"))) << watcher.Dialogs()[0].text.toStdString();
}

TEST_F(PageButtons, WriteMacAndFactoryDefaults)
{
    ChooseDevice("00 11 AA BB CC DD");
    Sent();
    Net<QLineEdit>(IDC_NET_MAC)->setText(QStringLiteral("02-03-04-05-06-07"));
    Net<QPushButton>(IDC_NET_WRITE_MAC)->click();
    Settle();
    EXPECT_EQ(Sent(), std::vector<std::string>{"AA 00 0D 0F 00 11 AA BB CC DD 02 03 04 05 06 07 49"});
    EXPECT_EQ(Main().GetText(IDC_INFO),
              Cp936("写入MAC地址...\r\n设备将改用新MAC地址 02-03-04-05-06-07：请重新搜索，找到后再读写参数\r\n"));

    // Until a search shows the new MAC, nothing more goes to the old one.
    ModalWatcher watcher;
    Net<QPushButton>(IDC_NET_DEFAULTS)->click();
    Settle();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_EQ(Net().GetText(IDC_NET_MAC), "02-03-04-05-06-07");
}

// The reset's question closed other than by its OK button erases nothing.
TEST_F(PageButtons, FactoryDefaultsAsksFirst)
{
    ChooseDevice("00 11 AA BB CC DD");
    Sent();
    ModalWatcher watcher;
    Net<QPushButton>(IDC_NET_DEFAULTS)->click();
    Settle();
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_EQ(watcher.Dialogs()[0].title, QStringLiteral(u"恢复出厂设置"));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PageButtons, WriteMacRefusesAMalformedAddress)
{
    State().TargetMac = {0x02, 0, 0, 0, 0, 0x01}; // chosen: the text is what is refused
    Net<QLineEdit>(IDC_NET_MAC)->setText(QStringLiteral("02:03:04:05:06:07"));
    Net<QPushButton>(IDC_NET_WRITE_MAC)->click();
    Settle();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Main().GetText(IDC_INFO), Cp936("不合格的MAC地址格式!!!\r\n"));
}

TEST_F(PageButtons, DeviceReadThenWriteOfTheStartupValues)
{
    ChooseDevice("02 00 00 00 00 01");
    Dev<QPushButton>(IDC_DEV_READ)->click();
    Settle();
    const auto requests = Sent();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), "AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98");

    Deliver(Hex(std::string("55 00 60 0A 02 00 00 00 00 01 7E 10 ") + kStartupBlock + " " + kStartupReadCrc + " 00"));
    ASSERT_TRUE(WaitFor([&] { return Window().Ops().DeviceParamsRead(); }));
    Settle();
    EXPECT_EQ(Main().GetText(IDC_INFO), Cp936("读取设备参数...\r\n读取设备参数成功！\r\n"));

    Dev<QPushButton>(IDC_DEV_WRITE)->click();
    Settle();
    EXPECT_EQ(Sent(), (std::vector<std::string>{ToHex(Hex(std::string("AA 00 67 0A 02 00 00 00 00 01 7E 11 ") +
                                                         kStartupBlock + " " + kStartupWriteCrc + " 37")),
                                                "AA 00 0B 0A 02 00 00 00 00 01 7E 10 21 DC 98"}));
    EXPECT_EQ(Main().GetText(IDC_INFO), Cp936("设置参数... \r\n"));
}

TEST_F(PageButtons, TargetAddressThatIsNoTextGoesBackAsItCameUnlessEdited)
{
    // Server 1 holds 81 20 FF 41 D6 (no valid code page 936 text), server 2 "ab".
    std::vector<uint8_t> block(292, 0);
    block[0] = 0x80;
    const uint8_t odd[] = {0x81, 0x20, 0xFF, 0x41, 0xD6};
    std::copy(std::begin(odd), std::end(odd), block.begin() + 24);
    block[58] = 'a';
    block[59] = 'b';
    auto reply = Hex("55 01 2B 03 00 11 AA BB CC DD");
    reply.insert(reply.end(), block.begin(), block.end());
    reply.push_back(0);
    State().TargetMac = {0x00, 0x11, 0xAA, 0xBB, 0xCC, 0xDD}; // as the double-click chose it
    Deliver(reply);
    ASSERT_TRUE(WaitFor([&] { return Net<QLineEdit>(SERVER_CONTROL_IDS[1].targetAddress)->text() == QStringLiteral("ab"); }));

    const auto write = [&] {
        Net<QPushButton>(IDC_NET_WRITE)->click();
        Settle();
        const auto sent = Sent();
        EXPECT_EQ(sent.size(), 2u); // the write and its read-back
        return sent.empty() ? std::vector<uint8_t>(303) : Hex(sent.front());
    };
    auto frame = write();
    ASSERT_EQ(frame.size(), 303u);
    EXPECT_EQ(ToHex(std::span(frame).subspan(34, 6)), "81 20 FF 41 D6 00");
    EXPECT_EQ(ToHex(std::span(frame).subspan(68, 3)), "61 62 00");

    // Typed over, the field's text goes back as typed; the rest of the field keeps its bytes.
    Net<QLineEdit>(SERVER_CONTROL_IDS[0].targetAddress)->setText(QStringLiteral("hos"));
    frame = write();
    EXPECT_EQ(ToHex(std::span(frame).subspan(34, 6)), "68 6F 73 00 D6 00");
}

TEST_F(PageButtons, TerminalAddressOfWrongLengthShowsTheBoxOfThePage)
{
    State().TargetMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    Deliver(Hex(std::string("55 00 60 0B 02 00 00 00 00 01 7E 10 ") + kStartupBlock + " " + kStartupReadCrc + " 00"));
    ASSERT_TRUE(WaitFor([&] { return Window().Ops().DeviceParamsRead(); }));
    Sent();
    for (const char* text : {"1234567", "123456789"}) {
        ModalWatcher watcher;
        Dev<QLineEdit>(IDC_DEV_TERMINAL_ADDRESS)->setText(QString::fromLatin1(text));
        Dev<QPushButton>(IDC_DEV_WRITE)->click();
        Settle();
        ASSERT_EQ(watcher.Dialogs().size(), 1u) << text;
        EXPECT_EQ(watcher.Dialogs()[0].title, QStringLiteral(u"终端地址错误"));
        EXPECT_EQ(watcher.Dialogs()[0].text, QStringLiteral(u"终端地址要为8位长度"));
        EXPECT_EQ(watcher.Dialogs()[0].icon, QMessageBox::Warning);
        EXPECT_EQ(watcher.Dialogs()[0].parent, &Window().DevPage());
        EXPECT_TRUE(Sent().empty()) << text;
    }
}

TEST_F(PageButtons, RightButtonDoubleClickOnARowSendsNothing)
{
    auto reply = Hex("55 00 11 02 00 00 00 00 09 00 A8 C0 02 00 00 00 00 05 64 00 00");
    Deliver(reply);
    CReportList& list = Window().DeviceList();
    ASSERT_TRUE(WaitFor([&] { return list.RowCount() > 0; }));
    const QPoint cell = list.RowRect(0).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, cell);
    Settle();
    Sent();
    const std::string info = Main().GetText(IDC_INFO);
    QTest::mouseDClick(list.viewport(), Qt::RightButton, Qt::NoModifier, cell);
    Settle();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Main().GetText(IDC_INFO), info);
    EXPECT_EQ(Net().GetText(IDC_NET_MAC), "02-5A-C3-00-00-00");
}

// The edits of servers 1 to 8 as the network page's template numbers them.
struct ServerIds {
    int localPort, targetAddress, targetPort;
};
constexpr ServerIds kServers[8] = {{1014, 1015, 1016}, {1056, 1057, 1058}, {1026, 1027, 1028}, {1029, 1032, 1033},
                                   {1034, 1035, 1036}, {1037, 1038, 1039}, {1040, 1041, 1042}, {1043, 1044, 1045}};
// Where server k's entry starts in a network frame: 10 header bytes, 20 block
// bytes before the servers, 34 bytes per server (two ports, 30 address bytes).
constexpr size_t ServerOffset(size_t k) { return 10 + 20 + 34 * k; }

TEST_F(PageButtons, EveryServerIsWrittenFromItsOwnEdits)
{
    ReadTheStartupValuesFromTheChosenDevice();
    for (size_t k = 0; k < 8; ++k) {
        Net().SetText(kServers[k].localPort, std::to_string(3001 + k));
        Net().SetText(kServers[k].targetAddress, "10.0.0." + std::to_string(k + 1));
        Net().SetText(kServers[k].targetPort, std::to_string(0x1101 * (k + 1)));
    }
    Net<QPushButton>(IDC_NET_WRITE)->click();
    Settle();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u); // the write and its read-back
    const auto frame = Hex(sent[0]);
    ASSERT_EQ(frame.size(), 303u);
    for (size_t k = 0; k < 8; ++k) {
        const uint16_t local = uint16_t(3001 + k), target = uint16_t(0x1101 * (k + 1));
        std::vector<uint8_t> entry = {uint8_t(local & 0xFF), uint8_t(local >> 8), uint8_t(target & 0xFF),
                                      uint8_t(target >> 8)};
        const std::string address = "10.0.0." + std::to_string(k + 1);
        entry.insert(entry.end(), address.begin(), address.end());
        entry.push_back(0);
        EXPECT_EQ(ToHex(std::span(frame).subspan(ServerOffset(k), entry.size())), ToHex(entry)) << "server " << k + 1;
    }
}

TEST_F(PageButtons, EveryServerIsShownInItsOwnEdits)
{
    std::vector<uint8_t> reply = Hex("55 01 2B 03 02 00 00 00 00 01");
    reply.resize(10 + 292, 0);
    for (size_t k = 0; k < 8; ++k) {
        const size_t at = ServerOffset(k);
        reply[at] = uint8_t(k + 1); // local port k + 1
        reply[at + 2] = uint8_t(0x10 + k); // target port 0x10 + k
        reply[at + 4] = 'h';
        reply[at + 5] = uint8_t('1' + k);
    }
    reply.push_back(0);
    State().TargetMac = {0x02, 0x00, 0x00, 0x00, 0x00, 0x01};
    Deliver(reply);
    ASSERT_TRUE(WaitFor([&] { return Net().GetText(kServers[7].targetAddress) == "h8"; }));
    for (size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(Net().GetText(kServers[k].localPort), std::to_string(k + 1)) << "server " << k + 1;
        EXPECT_EQ(Net().GetText(kServers[k].targetPort), std::to_string(0x10 + k)) << "server " << k + 1;
        EXPECT_EQ(Net().GetText(kServers[k].targetAddress), std::string("h") + char('1' + k)) << "server " << k + 1;
    }
}

TEST_F(PageButtons, AMaxConnectionsTextNamingNoEntryIsPutBackBeforeTheWrite)
{
    // The field shows "12" but "8" is selected: the write sends 08, and the field says so.
    ReadTheStartupValuesFromTheChosenDevice();
    auto* box = Net<QComboBox>(IDC_NET_MAX_CONNECTIONS);
    box->lineEdit()->setText(QStringLiteral("12"));
    Net<QPushButton>(IDC_NET_WRITE)->click();
    Settle();
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 2u); // the write and its read-back
    const auto frame = Hex(sent[0]);
    ASSERT_EQ(frame.size(), 303u);
    EXPECT_EQ(frame[29], 0x08);
    EXPECT_EQ(box->currentText(), QStringLiteral("8"));
}

} // namespace
} // namespace vornik::test
