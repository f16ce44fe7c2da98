// The words a device's result is told in. They are a contract: vornikctl
// prints them, its JSON carries them, and the Ansible collection decides
// "changed" by them, so they are spelt here and nowhere else.
#pragma once

#include <string_view>

namespace vornik::engine {

enum class Result {
    Confirmed,     // read back as written, or found (the MAC write), or changed (the reset)
    Acknowledged,  // only the device's word
    Written,       // acknowledged, the read-back missing
    NotConfirmed,  // neither acknowledged nor read back
    NotWritten,    // refused, or the device never answered the read before it
    Unchanged,     // holds the values already; nothing written
    WouldChange,   // --dry-run
    Read,          // a read on its own
    NoReply,
};

std::string_view ResultWord(Result result);

} // namespace vornik::engine
