// The info area beside the device list: the log the operations write, in
// code page 936 as the control takes it, shown as it grows. The log is
// bounded: past LIMIT bytes it takes one line saying so and nothing more
// until the next operation starts it anew, so that replies that never stop
// (a flood, a device answering in a loop) cannot fill the window's memory.
#pragma once

#include <string>

#include "ops/control_ops.h"
#include "proto/mac_address.h"

namespace vornik {

class InfoArea {
public:
    // Room for a line per reply of a search the device list takes whole
    // (about 12 bytes each), and as much again.
    static constexpr size_t LIMIT = 2 * 1024 * 1024;

    InfoArea(std::string& log, IControlOps& main, size_t limit = LIMIT) : m_log(log), m_main(main), m_limit(limit) {}

    // Gives the control what was added since the last refresh.
    void Refresh();
    // A new log for a new operation: empty, or starting with `line936`.
    void Restart();
    void Start(const std::string& line936);
    // Added without a refresh: an operation refreshes once it is done.
    void Add(const std::string& text936);
    void AddMacLine(const std::string& before936, const MacAddress& mac, const std::string& after936);
    // The log reached its bound and takes nothing more until restarted.
    bool Full() const { return m_full; }

private:
    // False when the log is full; the first text that does not fit makes it so.
    bool Room(size_t size);

    std::string& m_log;
    IControlOps& m_main;
    size_t m_limit;
    bool m_full = false;
    // What the control was last given: the log's length then and its last
    // bytes, by which a log replaced elsewhere is told from one that grew.
    static constexpr size_t kEndCheck = 32;
    size_t m_shownSize = 0;
    std::string m_shownEnd;
    bool m_shownValid = false;
    bool m_restarted = false;
};

} // namespace vornik
