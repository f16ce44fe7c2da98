#include "engine/confirm.h"

namespace vornik::engine {

std::vector<settings::Difference> ReadBackDifferences(const Written& written, const Written& readBack)
{
    std::vector<settings::Difference> out;
    const auto add = [&out](std::vector<settings::Difference> d) {
        for (auto& one : d) out.push_back(std::move(one));
    };
    // A block written but missing from the read-back is not read back at all;
    // the caller says so before it asks for the differences.
    if (written.network && readBack.network) add(settings::Compare(*written.network, *readBack.network));
    if (written.device && readBack.device) add(settings::Compare(*written.device, *readBack.device));
    return out;
}

Next AfterReadBack(const std::vector<settings::Difference>& differences, int round, int rounds)
{
    return !differences.empty() && round < rounds ? Next::WriteAgain : Next::Settled;
}

Result Unconfirmed(bool acknowledged) { return acknowledged ? Result::Written : Result::NotConfirmed; }

} // namespace vornik::engine
