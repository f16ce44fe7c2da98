// The window's settings history: the file vornikctl records into, opened at
// the first event. A file that cannot be opened is tried again at the next
// one, so a history that comes back (a disk with room again) is used again.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "history/history.h"
#include "ops/history_sink.h"

namespace vornik {

class HistoryFile : public IHistorySink {
public:
    // Empty path: no history; every record is then passed over in silence.
    explicit HistoryFile(std::string path);

    std::optional<std::string> Record(const history::Event& event) override;
    std::optional<history::Event> LastKnown(const MacAddress& mac) override;

    bool Enabled() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    // The store for reading, or why it cannot be opened.
    std::variant<history::Store*, std::string> Open();

private:
    std::string m_path;
    std::optional<history::Store> m_store;
};

} // namespace vornik
