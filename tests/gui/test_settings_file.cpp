// Settings files in the window: "导出参数..." saves what the pages show in the
// format of vornikctl export, and a device's export applies to another device
// with vornikctl apply; "导入参数..." fills the pages from a file and sends
// nothing, and a bad file is named in a message box with the pages unchanged.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include "pages/report_list.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "sim_window_fixture.h"
#include "link/packet_capture.h"
#include "ops/control_ids.h"

namespace vornik::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SettingsFileTest : public SimWindowTest {
protected:
    SettingsFileTest() : SimWindowTest("settings") {}

    fs::path File(const char* name) const { return m_dir / name; }
    QString QFile(const char* name) const { return QString::fromStdString(File(name).string()); }

    // What a check of "the pages stay as they were" compares.
    std::vector<std::string> PageTexts()
    {
        std::vector<std::string> texts;
        for (int id : {IDC_NET_IP_ADDRESS, IDC_NET_GATEWAY, IDC_NET_SUBNET_MASK}) texts.push_back(Net().GetText(id));
        texts.push_back(std::to_string(Net().GetSel(IDC_NET_IP_MODE)));
        for (const ServerControls& ids : SERVER_CONTROL_IDS)
            for (int id : {ids.localPort, ids.targetAddress, ids.targetPort}) texts.push_back(Net().GetText(id));
        for (int id : {IDC_DEV_TERMINAL_ADDRESS, IDC_DEV_BAUD_RATE, IDC_DEV_LOGIN_INTERVAL})
            texts.push_back(Dev().GetText(id));
        for (const LimitControls& ids : LimitEditIds) texts.push_back(Dev().GetText(ids.tempUpper));
        texts.push_back(std::to_string(Dev().GetSel(IDC_DEV_PARITY)));
        return texts;
    }

};

TEST_F(SettingsFileTest, ExportIsWhatVornikctlExportsAndAppliesToAnotherDevice)
{
    ReadFirstDevice();
    ASSERT_TRUE(Window().ExportSettings(QFile("window.json")));
    const RunResult exported = Vornikctl({"export", "02-00-00-00-00-01", File("vornikctl.json").string()});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const Json window = Json::parse(ReadFile(File("window.json")));
    const Json cli = Json::parse(ReadFile(File("vornikctl.json")));
    EXPECT_EQ(window["format"], cli["format"]);
    EXPECT_EQ(window["version"], cli["version"]);
    EXPECT_EQ(window["network"], cli["network"]);
    EXPECT_EQ(window["device"], cli["device"]);
    EXPECT_EQ(window["source"]["mac"], "02-00-00-00-00-01");

    // The operator changes two fields and clones the result onto the second device.
    Net().SetText(SERVER_CONTROL_IDS[2].targetPort, "4321");
    Dev().SetText(IDC_DEV_BAUD_RATE, "9600");
    Dev().SetText(LimitEditIds[3].tempUpper, "25.3");
    ASSERT_TRUE(Window().ExportSettings(QFile("changed.json")));
    const RunResult applied = Vornikctl({"apply", File("changed.json").string(), "02-00-00-00-00-02"});
    ASSERT_EQ(applied.exitCode, 0) << applied.out << applied.err;
    const RunResult second = Vornikctl({"export", "02-00-00-00-00-02", File("second.json").string()});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    const Json cloned = Json::parse(ReadFile(File("second.json")));
    EXPECT_EQ(cloned["network"]["server3"]["target-port"], 4321);
    EXPECT_EQ(cloned["device"]["baud"], 9600);
    EXPECT_EQ(cloned["device"]["channel4"]["temp-upper"], 25.3);
    // Its own identity stays: apply leaves the address and terminal address alone.
    EXPECT_EQ(cloned["network"]["ip"], "10.9.0.8");
}

TEST_F(SettingsFileTest, ImportFillsThePagesAndSendsNothing)
{
    std::ofstream(File("in.json")) << R"({
        "format": "vornik-settings", "version": 1,
        // comments are allowed
        "network": {"mode": "dhcp", "ip": "10.1.2.3", "server3": {"target-port": 4321, "target-address": "测试.cn"}},
        "device": {"terminal-address": "0000abcd", "parity": "even", "channel4": {"temp-upper": -12.3}}
    })";
    const std::vector<std::string> before = PageTexts();
    const size_t recorded = m_capture.Size();
    const std::string log = Main().GetText(IDC_INFO);

    ModalWatcher watcher;
    ASSERT_TRUE(Window().ImportSettings(QFile("in.json")));
    Settle();
    EXPECT_TRUE(watcher.Dialogs().empty());
    EXPECT_EQ(Net().GetSel(IDC_NET_IP_MODE), 1);
    EXPECT_FALSE(Net().Control(IDC_NET_IP_ADDRESS)->isEnabled()); // the page's rule for DHCP
    EXPECT_EQ(Net().GetText(IDC_NET_IP_ADDRESS), "10.1.2.3");
    EXPECT_EQ(Net().GetText(SERVER_CONTROL_IDS[2].targetPort), "4321");
    EXPECT_EQ(Net().GetText(SERVER_CONTROL_IDS[2].targetAddress), Cp936("测试.cn"));
    EXPECT_EQ(Dev().GetText(IDC_DEV_TERMINAL_ADDRESS), "0000abcd");
    EXPECT_EQ(Dev().GetSel(IDC_DEV_PARITY), 2);
    EXPECT_EQ(Dev().GetText(LimitEditIds[3].tempUpper), "-12.3");
    // Fields the file leaves out keep what the pages showed.
    EXPECT_EQ(Net().GetText(IDC_NET_GATEWAY), before[1]);
    EXPECT_EQ(Net().GetText(SERVER_CONTROL_IDS[0].targetPort), before[6]);
    EXPECT_EQ(Dev().GetText(IDC_DEV_BAUD_RATE), "4800");

    QTest::qWait(50);
    EXPECT_EQ(m_capture.Size(), recorded); // nothing went on the wire
    EXPECT_EQ(Main().GetText(IDC_INFO), log);
}

TEST_F(SettingsFileTest, ABadFileIsNamedInABoxAndThePagesStayAsTheyWere)
{
    const struct {
        const char* name;
        const char* text;
        const char* named; // in the box's text: the field by its label, not its file key
    } cases[] = {
        {"port out of range", R"({"format": "vornik-settings", "version": 1, "network": {"server3": {"target-port": 70000}}})",
         "字段 服务器3 目标端口：“70000”无效，应为0到65535的整数"},
        {"a good network part, a bad device part",
         R"({"format": "vornik-settings", "version": 1, "network": {"ip": "10.1.2.3"}, "device": {"data-bits": 4}})",
         "字段 485口数据位：“4”无效，应为5到9的整数"},
        {"limit out of range",
         R"({"format": "vornik-settings", "version": 1, "device": {"channel2": {"humidity-upper": -1}}})",
         "字段 2号通道 湿度上限：“-1”无效，应为0.0到6553.5"},
        {"a limit one past the top", R"({"format": "vornik-settings", "version": 1, "device": {"channel1": {"temp-upper": 3276.8}}})",
         "字段 1号通道 温度上限：“3276.8”无效"},
        {"not JSON", "{ \"format\": ", "JSON"},
        {"another format", R"({"format": "something-else", "version": 1})", "format"},
        {"another version", R"({"format": "vornik-settings", "version": 2})", "version"},
        {"an unknown field", R"({"format": "vornik-settings", "version": 1, "device": {"speed": 1}})", "speed"},
        // Once ended the program, and every unsaved edit with it.
        {"a number too large for a double", R"({"format": "vornik-settings", "version": 1, "device": {"baud": 1e400}})",
         "字段 485口波特率：数值太大"},
        {"a key twice", R"({"format": "vornik-settings", "version": 1, "device": {"baud": 9600, "baud": 4800}})",
         "字段 485口波特率在文件中出现了两次"},
    };
    const std::vector<std::string> before = PageTexts();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(File("bad.json")) << c.text;
        ModalWatcher watcher;
        EXPECT_FALSE(Window().ImportSettings(QFile("bad.json")));
        ASSERT_EQ(watcher.Dialogs().size(), 1u);
        const QString text = watcher.Dialogs()[0].text;
        EXPECT_TRUE(text.startsWith(QStringLiteral(u"导入参数失败"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.named))) << text.toStdString();
        // The library's English sentence never reaches the operator.
        EXPECT_FALSE(text.contains(QLatin1String("must")) || text.contains(QLatin1String("settings file")))
            << text.toStdString();
        EXPECT_EQ(PageTexts(), before);
    }
    // Refused before a byte is read: a missing file and one that never ends.
    for (const char* path : {"missing.json", "/dev/zero"}) {
        ModalWatcher watcher;
        EXPECT_FALSE(Window().ImportSettings(QFile(path))) << path;
        EXPECT_EQ(watcher.Dialogs().size(), 1u) << path;
        EXPECT_EQ(PageTexts(), before) << path;
    }
}

// A name code page 936 cannot hold is shown as it is, not as "?".
TEST_F(SettingsFileTest, AFileNameWithoutACodePage936FormIsNamedAsItIs)
{
    const struct {
        const char* name;
        const char* file;
        bool import; // else an export into a folder that is not there
    } cases[] = {
        {"a file that does not read", "réglages-ç.json", true},
        {"a folder where the file should be", "beállítás-ő.json", true},
        {"an export nobody can write", "nincs-mappa-ő/export.json", false},
    };
    ReadFirstDevice();
    fs::create_directory(File("beállítás-ő.json"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QString::fromStdString(File(c.file).string());
        ModalWatcher watcher;
        EXPECT_FALSE(c.import ? Window().ImportSettings(path) : Window().ExportSettings(path));
        ASSERT_EQ(watcher.Dialogs().size(), 1u);
        EXPECT_TRUE(watcher.Dialogs()[0].text.contains(path)) << watcher.Dialogs()[0].text.toStdString();
        EXPECT_FALSE(watcher.Dialogs()[0].text.contains(QLatin1Char('?'))) << watcher.Dialogs()[0].text.toStdString();
    }
    // What the file holds is shown as it holds it, whatever its characters: a
    // control character in a value or a key never turns into the file's name.
    for (const char* content : {R"({"format": "vornik-settings", "version": 1, "network": {"ip": "\u0001"}})",
                                R"({"format": "vornik-settings", "version": 1, "\u0001": {}})"}) {
        SCOPED_TRACE(content);
        std::ofstream(File("steuer-ő.json")) << content;
        const QString path = QString::fromStdString(File("steuer-ő.json").string());
        ModalWatcher watcher;
        EXPECT_FALSE(Window().ImportSettings(path));
        ASSERT_EQ(watcher.Dialogs().size(), 1u);
        EXPECT_FALSE(watcher.Dialogs()[0].text.contains(path)) << watcher.Dialogs()[0].text.toStdString();
    }
}

// A full disk or a file size limit half way through: the previous export stays whole.
TEST_F(SettingsFileTest, AnExportThatCannotBeWrittenWholeLeavesThePreviousFile)
{
    ReadFirstDevice();
    {
        std::ofstream(File("backup.json")) << "the previous export";
    }
    ModalWatcher watcher;
    struct rlimit was {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
    const auto xfsz = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = was;
    small.rlim_cur = 512; // the settings file is several KiB
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool exported = Window().ExportSettings(QFile("backup.json"));
    setrlimit(RLIMIT_FSIZE, &was);
    std::signal(SIGXFSZ, xfsz);
    EXPECT_FALSE(exported);
    EXPECT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_EQ(ReadFile(File("backup.json")), "the previous export");
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(m_dir)) ++files;
    EXPECT_EQ(files, 1u) << "nothing half written is left beside it";
    // Without the limit the same export replaces it.
    ASSERT_TRUE(Window().ExportSettings(QFile("backup.json")));
    EXPECT_NE(ReadFile(File("backup.json")).find("vornik-settings"), std::string::npos);
}

TEST_F(SettingsFileTest, ExportRefusesATerminalAddressThatIsNotEightDigits)
{
    ReadFirstDevice();
    Dev().SetText(IDC_DEV_TERMINAL_ADDRESS, "1234567");
    ModalWatcher watcher;
    EXPECT_FALSE(Window().ExportSettings(QFile("out.json")));
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_TRUE(watcher.Dialogs()[0].text.contains(QStringLiteral(u"终端地址：“1234567”无效")))
        << watcher.Dialogs()[0].text.toStdString();
    EXPECT_FALSE(fs::exists(File("out.json")));
}

// Planted once: the network page was changed before the device page was
// found unusable, so a refused file still left half of itself behind.
TEST_F(SettingsFileTest, AnImportRefusedForOnePageChangesNeither)
{
    const char* const file =
        R"({"format": "vornik-settings", "version": 1, "network": {"ip": "10.1.2.3"}, "device": {"parity": "odd"}})";
    const struct {
        int control;
        const char* typed;
        const char* named;
    } rows[] = {{IDC_DEV_TERMINAL_ADDRESS, "1234567", "设备参数页的 终端地址：“1234567”无效"},
                {IDC_DEV_BAUD_RATE, "9600x", "设备参数页的 485口波特率：“9600x”无效"}};
    for (const auto& row : rows) {
        Window().Ops().SetStartupValues();
        Dev().SetText(row.control, row.typed);
        const std::vector<std::string> before = PageTexts();
        std::ofstream(File("half.json")) << file;
        ModalWatcher watcher;
        EXPECT_FALSE(Window().ImportSettings(QFile("half.json")));
        ASSERT_EQ(watcher.Dialogs().size(), 1u);
        EXPECT_TRUE(watcher.Dialogs()[0].text.contains(QString::fromUtf8(row.named))) << row.typed;
        EXPECT_EQ(PageTexts(), before) << row.typed;
    }
}

TEST_F(SettingsFileTest, AWholeDeviceBlockOpensTheWriteButIsNoDevicesToExport)
{
    // A device's own export is whole; the same file less one channel limit is not.
    ReadFirstDevice();
    ASSERT_TRUE(Window().ExportSettings(QFile("whole.json")));
    Json part = Json::parse(ReadFile(File("whole.json")));
    EXPECT_EQ(part["source"]["device"], (Json{{"mac", "02-00-00-00-00-01"}, {"ip", "10.9.0.7"}}));
    part["device"]["channel8"].erase("humidity-lower");
    part.erase("network");
    std::ofstream(File("part.json")) << part.dump();
    for (const auto& [file, opens] : {std::pair{"part.json", false}, std::pair{"whole.json", true}}) {
        Window().Ops().CloseDeviceWrite();
        ASSERT_TRUE(Window().ImportSettings(QFile(file)));
        EXPECT_EQ(Window().Ops().DeviceParamsRead(), opens) << file;
    }
    // The network page is a file's now too: nothing left that a device gave.
    ModalWatcher watcher;
    EXPECT_FALSE(Window().ExportSettings(QFile("none.json")));
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_TRUE(watcher.Dialogs()[0].text.contains(QStringLiteral(u"两页的参数都不是从设备读取的")));
}

TEST_F(SettingsFileTest, APacketRecordThatCannotBeWrittenIsSaidInChinese)
{
    ModalWatcher watcher;
    EXPECT_FALSE(Window().SavePacketRecord(QStringLiteral("/nonexistent-vornik/x.pcap")));
    ASSERT_EQ(watcher.Dialogs().size(), 1u);
    EXPECT_TRUE(watcher.Dialogs()[0].text.startsWith(QStringLiteral(u"保存数据包记录失败：无法写入文件 /nonexistent-vornik/x.pcap（")));
}

} // namespace
} // namespace vornik::test
