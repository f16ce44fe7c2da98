// The history's file as a sink: opened at the first event, and again at the
// next one after it could not be, so a history that comes back (a disk with
// room again, a lock let go) is used again. The window and vornikctl open it
// so; only how long one waits for another program's lock is theirs to say.
#pragma once

#include <optional>
#include <string>
#include <variant>

#include "history/sink.h"
#include "history/store.h"

namespace vornik::history {

class StoreFile : public Sink {
public:
    // Empty path: no history.
    explicit StoreFile(std::string path, Options options = {});

    std::optional<std::string> Keep(std::span<const Event> events) override;
    std::optional<Event> LastKnown(const MacAddress& mac) override;
    std::vector<std::optional<Event>> LastKnownOf(std::span<const MacAddress> macs) override;

    bool Enabled() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }
    // The store for reading, or why it cannot be opened.
    std::variant<Store*, std::string> Open();

private:
    std::string m_path;
    Options m_options;
    std::optional<Store> m_store;
};

} // namespace vornik::history
