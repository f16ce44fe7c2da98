// The info area beside the device list: the log the operations write, in
// code page 936 as the control takes it, shown as it grows.
#pragma once

#include <string>

#include "ops/control_ops.h"
#include "proto/mac_address.h"

namespace vornik {

class InfoArea {
public:
    InfoArea(std::string& log, IControlOps& main) : m_log(log), m_main(main) {}

    // Gives the control what was added since the last refresh.
    void Refresh();
    // A new log for a new operation: empty, or starting with `line936`.
    void Restart();
    void Start(const std::string& line936);
    // Added without a refresh: an operation refreshes once it is done.
    void Add(const std::string& text936) { m_log += text936; }
    void AddMacLine(const std::string& before936, const MacAddress& mac, const std::string& after936);

private:
    std::string& m_log;
    IControlOps& m_main;
    // What the control was last given: the log's length then and its last
    // bytes, by which a log replaced elsewhere is told from one that grew.
    static constexpr size_t kEndCheck = 32;
    size_t m_shownSize = 0;
    std::string m_shownEnd;
    bool m_shownValid = false;
    bool m_restarted = false;
};

} // namespace vornik
