// How many search replies the device list takes before it stops listing:
// a row and a log line per reply up to the bound, so a flood of replies
// (a looping network, a hostile sender) cannot fill the window's memory.
// The bound is the packet record's, which keeps as many datagrams.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/packet_capture.h"

namespace vornik {

class SearchListing {
public:
    static constexpr size_t LIMIT = DEFAULT_CAPTURE_LIMIT;

    explicit SearchListing(size_t limit = LIMIT) : m_limit(limit) {}

    enum class Reply {
        Listed,   // gets its row and its line
        ListFull, // the first not listed: the log says so, once
        Omitted,  // counted only
    };
    Reply Next();
    // The list was emptied: a new search lists again.
    void Restart();

    size_t Listed() const { return m_listed; }
    // Replies since the list was last emptied that it did not take.
    uint64_t Omitted() const { return m_omitted; }

private:
    size_t m_limit;
    size_t m_listed = 0;
    uint64_t m_omitted = 0;
};

} // namespace vornik
