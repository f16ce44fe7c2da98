// One device's history as the history dialog lists it, newest first, a page
// at a time, each entry with what it changed; and an entry's state into the
// pages. Both front ends' dialogs show these rows; nothing is sent.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "history/history.h"

namespace vornik {

class DeviceOps;

// The dialog's columns: time (UTC), program, operation, stage, device IP, changes; UTF-8.
inline constexpr size_t HISTORY_COLUMNS = 6;
using HistoryRow = std::array<std::string, HISTORY_COLUMNS>;
// The columns' headings, UTF-8.
const std::array<const char*, HISTORY_COLUMNS>& HistoryHeadings();

class HistoryPages {
public:
    // Entries read at a time.
    static constexpr size_t PAGE = 200;

    // The store must outlive this.
    HistoryPages(const MacAddress& mac, const history::Store& store) : m_mac(mac), m_store(store) {}

    // The next older page, appended to `rows`; false when there is none or
    // it could not be read (then Failure says why).
    bool LoadMore(std::vector<HistoryRow>& rows);
    bool Complete() const { return m_complete; }
    const std::optional<std::string>& Failure() const { return m_failure; }
    size_t Size() const { return m_positions.size(); }
    // The device's state as it stood after the entry in row `row` (0: the
    // newest) into both pages, with a line in the info area; false when there is none.
    bool FillPages(size_t row, DeviceOps& ops) const;
    // The dialog's heading, UTF-8.
    std::string Heading() const;

private:
    MacAddress m_mac;
    const history::Store& m_store;
    std::vector<history::Position> m_positions; // of each row, newest first
    bool m_complete = false;
    std::optional<std::string> m_failure;
};

} // namespace vornik
