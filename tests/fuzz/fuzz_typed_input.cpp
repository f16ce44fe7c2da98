// Every conversion of typed input on any text: none may misbehave (the
// sanitizers watch), and each keeps the promises its callers rely on.
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_oracles.h"
#include "proto/net_params.h"
#include "proto/text_conv.h"

using namespace vornik;
using namespace vornik::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // MAC texts: what is accepted formats back to the same bytes.
    if (const auto mac = ParseMacText(text)) {
        const std::string again = FormatMacText(*mac);
        const auto reparsed = ParseMacText(again);
        Check(reparsed && *reparsed == *mac, "a MAC text does not survive format and parse");
    }

    // Numbers: any text gives some value; values shown on the pages come back.
    (void)ParseTenths(text);
    (void)HumidityTenthsFromText(text);
    (void)ParseDottedQuad(text);
    (void)PortFromText(text);
    const int32_t number = DlgItemInt(text);
    Check(DlgItemInt(DlgItemText(number)) == number, "a dialog integer does not survive text and back");
    if (size >= 4) {
        const uint16_t u = Le16(data);
        const int16_t s = int16_t(Le16(data + 2));
        Check(HumidityTenthsFromText(FormatTenthsUnsigned(u)) == u, "a humidity shown does not go back unchanged");
        Check(ParseTenths(FormatTenthsSigned(s)) == s, "a temperature shown does not go back unchanged");
        Check(PortFromText(std::to_string(u)) == u, "a port shown does not go back unchanged");
        const uint32_t address = Le32(data);
        Check(ParseDottedQuad(FormatDottedQuad(address)) == address, "an address shown does not go back unchanged");
    }

    // Target address: whole characters only, at most 29 bytes, then a zero;
    // the rest of the field keeps its bytes.
    std::array<uint8_t, TARGET_ADDRESS_SIZE> field;
    field.fill(0xEE);
    StoreTargetAddress(field, text);
    const size_t n = Cp936PrefixLength(text, TARGET_ADDRESS_SIZE - 1);
    Check(n <= TARGET_ADDRESS_SIZE - 1 && n <= size, "target address prefix too long");
    Check(std::memcmp(field.data(), data, n) == 0 && field[n] == 0, "target address not stored as typed");
    for (size_t i = n + 1; i < field.size(); ++i) Check(field[i] == 0xEE, "target address tail overwritten");
    return 0;
}
