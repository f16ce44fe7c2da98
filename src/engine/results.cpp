#include "engine/results.h"

namespace vornik::engine {

std::string_view ResultWord(Result result)
{
    switch (result) {
    case Result::Confirmed: return "confirmed";
    case Result::Acknowledged: return "acknowledged";
    case Result::Written: return "written, not confirmed";
    case Result::NotConfirmed: return "not confirmed";
    case Result::NotWritten: return "not written";
    case Result::Unchanged: return "unchanged";
    case Result::WouldChange: return "would change";
    case Result::Read: return "read";
    case Result::NoReply: return "no reply";
    }
    return "not confirmed";
}

} // namespace vornik::engine
