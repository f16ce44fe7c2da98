// Every text of the window kept as a Text: it converts whole to code page 936
// (no character turns into '?'), and to the very bytes the window has always
// shown, written here as they were stored before the texts were kept in UTF-8.
#include <gtest/gtest.h>

#include "hex.h"
#include "ops/link_texts.h"
#include "ops/texts.h"

namespace vornik::test {
namespace {

struct WindowText {
    const char* name;
    const text::Text& text;
    const char* bytes; // code page 936, hex
};

const WindowText kWindowTexts[] = {
        {"kWelcomeText", text::kWelcomeText, "20 20 B1 BE C8 ED BC FE CA CA D3 C3 D3 DA A3 BA 56 6F 72 6E 69 6B B6 E0 CC BD CD B7 B2 FA C6 B7 B5 C4 B2 CE CA FD C5 E4 D6 C3 A1 A3 0D 0A B5 A5 BB F7 22 CB D1 CB F7 22 B0 B4 C5 A5 CB D1 CB F7 C9 E8 B1 B8 A3 AC C9 E8 B1 B8 B3 F6 CF D6 D4 DA C9 E8 B1 B8 C1 D0 B1 ED BA F3 A3 AC CB AB BB F7 C9 E8 B1 B8 B8 FC D0 C2 D0 C5 CF A2 B5 BD D3 D2 B1 DF D0 C5 CF A2 BF F2 D6 D0 D0 DE B8 C4 B2 CE CA FD BA F3 A3 AC B5 E3 BB F7 22 B2 CE CA FD C5 E4 D6 C3 22 B0 B4 C5 A5 A3 AC C9 E8 B1 B8 BD AB B1 A3 B4 E6 B2 CE CA FD B2 A2 D7 D4 B6 AF D6 D8 C6 F4 0D 0A D7 A2 D2 E2 CA C2 CF EE 3A 0D 0A 31 A1 A2 C8 B7 B1 A3 C8 ED BC FE D3 EB C9 E8 B1 B8 D4 DA CD AC D2 BB BE D6 D3 F2 CD F8 C4 DA 0D 0A 32 A1 A2 C7 EB C8 B7 B6 A8 B5 B1 C7 B0 50 43 D6 BB CA B9 D3 C3 D2 BB B8 F6 CD F8 BF A8 0D 0A 33 A1 A2 C7 EB B0 B4 D5 D5 20 CB D1 CB F7 2D 3E CB AB BB F7 D1 A1 D6 D0 B2 A2 B6 C1 C8 A1 2D 3E B2 CE CA FD C5 E4 D6 C3 20 B5 C4 B2 BD D6 E8 C0 B4 B2 D9 D7 F7 0D 0A"},
        {"kLogSearching", text::kLogSearching, "CB D1 CB F7 2E 2E 2E 0D 0A"},
        {"kLogDeviceFound", text::kLogDeviceFound, "CB D1 CB F7 B5 BD C9 E8 B1 B8 0D 0A"},
        {"kLogReadingNetwork", text::kLogReadingNetwork, "B6 C1 C8 A1 B2 CE CA FD 2E 2E 2E 0D 0A"},
        {"kLogNetworkRead", text::kLogNetworkRead, "B6 C1 C8 A1 CD F8 C2 E7 B2 CE CA FD B3 C9 B9 A6 A3 A1 0D 0A"},
        {"kLogWriting", text::kLogWriting, "C9 E8 D6 C3 B2 CE CA FD 2E 2E 2E 20 0D 0A"},
        {"kLogBadMac", text::kLogBadMac, "B2 BB BA CF B8 F1 B5 C4 4D 41 43 B5 D8 D6 B7 B8 F1 CA BD 21 21 21 0D 0A"},
        {"kLogWritingMac", text::kLogWritingMac, "D0 B4 C8 EB 4D 41 43 B5 D8 D6 B7 2E 2E 2E 0D 0A"},
        {"kLogFactoryDefaults", text::kLogFactoryDefaults, "BB D6 B8 B4 B3 F6 B3 A7 C9 E8 D6 C3 2E 2E 2E 0D 0A"},
        {"kLogReadingDevice", text::kLogReadingDevice, "B6 C1 C8 A1 C9 E8 B1 B8 B2 CE CA FD 2E 2E 2E 0D 0A"},
        {"kLogDeviceWritten", text::kLogDeviceWritten, "CF C2 D4 D8 C9 E8 B1 B8 B2 CE CA FD B3 C9 B9 A6 A3 A1 0D 0A"},
        {"kLogDeviceRead", text::kLogDeviceRead, "B6 C1 C8 A1 C9 E8 B1 B8 B2 CE CA FD B3 C9 B9 A6 A3 A1 0D 0A"},
        {"kMsgReadFirst", text::kMsgReadFirst, "C7 EB CF C8 D6 B4 D0 D0 22 B6 C1 C8 A1 C9 E8 B1 B8 B2 CE CA FD 22 B2 D9 D7 F7 3B C8 BB BA F3 BD F8 D0 D0 CA FD BE DD D0 DE B8 C4 BA F3 D4 D9 C5 E4 D6 C3"},
        {"kCaptionHint", text::kCaptionHint, "CC E1 CA BE"},
        {"kMsgTerminalAddressLength", text::kMsgTerminalAddressLength, "D6 D5 B6 CB B5 D8 D6 B7 D2 AA CE AA 38 CE BB B3 A4 B6 C8"},
        {"kCaptionTerminalAddress", text::kCaptionTerminalAddress, "D6 D5 B6 CB B5 D8 D6 B7 B4 ED CE F3"},
        {"kLogIgnoredReplyBefore", text::kLogIgnoredReplyBefore, "D2 D1 BA F6 C2 D4 C9 E8 B1 B8 20"},
        {"kLogIgnoredReplyAfter", text::kLogIgnoredReplyAfter, "20 B5 C4 BB D8 B8 B4 A3 BA B2 BB CA C7 CB AB BB F7 D1 A1 D6 D0 B5 C4 C9 E8 B1 B8 0D 0A"},
        {"kLogSearchAfterMacBefore", text::kLogSearchAfterMacBefore, "C9 E8 B1 B8 BD AB B8 C4 D3 C3 D0 C2 4D 41 43 B5 D8 D6 B7 20"},
        {"kLogSearchAfterMacAfter", text::kLogSearchAfterMacAfter, "A3 BA C7 EB D6 D8 D0 C2 CB D1 CB F7 A3 AC D5 D2 B5 BD BA F3 D4 D9 B6 C1 D0 B4 B2 CE CA FD 0D 0A"},
        {"kLogFollowingMacBefore", text::kLogFollowingMacBefore, "4D 41 43 B5 D8 D6 B7 D0 B4 C8 EB B3 C9 B9 A6 A3 BA D2 D1 D5 D2 B5 BD D0 C2 4D 41 43 B5 D8 D6 B7 20"},
        {"kLogFollowingMacAfter", text::kLogFollowingMacAfter, "20 B5 C4 C9 E8 B1 B8 A3 AC D6 AE BA F3 B5 C4 B2 D9 D7 F7 B7 A2 CD F9 B8 C3 C9 E8 B1 B8 0D 0A"},
        {"kLogNoAnswerBefore", text::kLogNoAnswerBefore, "C9 E8 B1 B8 20"},
        {"kLogNoAnswerAfter", text::kLogNoAnswerAfter, "20 D4 DA 33 C3 EB C4 DA C3 BB D3 D0 D3 A6 B4 F0 0D 0A"},
        {"kLogNothingFound", text::kLogNothingFound, "33 C3 EB C4 DA C3 BB D3 D0 CB D1 CB F7 B5 BD C9 E8 B1 B8 0D 0A"},
        // New lines, against Python's own GB2312 codec.
        {"kLogListFull", text::kLogListFull, "C9 E8 B1 B8 C1 D0 B1 ED D2 D1 C2 FA A3 AC B4 CB BA F3 B5 C4 CB D1 CB F7 BB D8 B8 B4 B2 BB D4 D9 C1 D0 B3 F6 A3 AC CE B4 C1 D0 B3 F6 B5 C4 BB D8 B8 B4 CA FD BC FB D3 D2 BC FC B2 CB B5 A5 0D 0A"},
        {"kLogInfoFull", text::kLogInfoFull, "CC E1 CA BE D0 C5 CF A2 D2 D1 B4 EF C9 CF CF DE A3 AC B4 CB BA F3 B5 C4 D0 C5 CF A2 B2 BB D4 D9 CF D4 CA BE A3 AC CF C2 B4 CE B2 D9 D7 F7 CA B1 C7 E5 BF D5 0D 0A"},
        {"kMsgSocketLibrary", text::kMsgSocketLibrary, "CD F8 C2 E7 B1 E0 B3 CC C6 F4 B6 AF B3 F6 B4 ED"},
        {"kMsgReceiveSocket", text::kMsgReceiveSocket, "CC D7 BD D3 D7 D6 B4 ED CE F3 2C C7 EB BC EC B2 E9 B4 ED CE F3 B2 A2 D6 D8 D0 C2 B4 F2 BF AA C8 ED BC FE"},
        {"kMsgReceiveBroadcast", text::kMsgReceiveBroadcast, "C9 E8 D6 C3 B9 E6 D4 F2 CA A7 B0 DC 31"},
        {"kMsgReceiveReuse", text::kMsgReceiveReuse, "C9 E8 D6 C3 B9 E6 D4 F2 CA A7 B0 DC 32"},
        {"kMsgEndpointSocket", text::kMsgEndpointSocket, "CC D7 BD D3 D7 D6 B4 B4 BD A8 CA A7 B0 DC"},
        {"kMsgEndpointBroadcast", text::kMsgEndpointBroadcast, "C9 E8 D6 C3 73 6F 63 6B 65 74 B9 E6 D4 F2 CA A7 B0 DC"},
        {"kMsgEndpointReuse", text::kMsgEndpointReuse, "C9 E8 D6 C3 73 6F 63 6B 65 74 B9 E6 D4 F2 CA A7 B0 DC 32"},
        {"kMsgEndpointBindFormat", text::kMsgEndpointBindFormat, "B0 F3 B6 A8 53 4F 43 4B 45 54 B3 F6 B4 ED 20 25 64 20 20 B4 ED CE F3 B4 FA C2 EB 20 25 64"},
        {"kMsgSendFailed", text::kMsgSendFailed, "B6 CB BF DA B1 BB D5 BC D3 C3"},
};

TEST(WindowTexts, EachConvertsWholeToTheBytesTheWindowShowed)
{
    for (const WindowText& row : kWindowTexts) {
        const std::optional<std::string> strict = Cp936FromUtf8(row.text.Utf8());
        ASSERT_TRUE(strict) << row.name << ": a character has no code page 936 form";
        const std::string& shown = row.text.Cp936();
        EXPECT_EQ(ToHex(std::vector<uint8_t>(shown.begin(), shown.end())), ToHex(Hex(row.bytes))) << row.name;
        EXPECT_EQ(*strict, row.text.Cp936()) << row.name;
    }
}

} // namespace
} // namespace vornik::test
