#include "app/history_file.h"

namespace vornik {

HistoryFile::HistoryFile(std::string path) : m_path(std::move(path)) {}

std::variant<history::Store*, std::string> HistoryFile::Open()
{
    if (m_store) return &*m_store;
    if (m_path.empty()) return std::string("no history file");
    // The window's thread waits while another program holds the file: not long,
    // since a history left out costs one line and a frozen window costs the operator.
    history::Options options;
    options.busyTimeoutMs = 500;
    auto opened = history::Store::Open(m_path, options);
    if (auto* error = std::get_if<history::Error>(&opened)) return error->message;
    m_store.emplace(std::move(std::get<history::Store>(opened)));
    return &*m_store;
}

std::optional<std::string> HistoryFile::Record(const history::Event& event)
{
    if (m_path.empty()) return std::nullopt;
    auto store = Open();
    if (auto* why = std::get_if<std::string>(&store)) return *why;
    history::Event stamped = event;
    stamped.timeMs = history::NowMs();
    auto recorded = std::get<history::Store*>(store)->Record(stamped);
    if (auto* error = std::get_if<history::Error>(&recorded)) return error->message;
    return std::nullopt;
}

std::optional<history::Event> HistoryFile::LastKnown(const MacAddress& mac)
{
    if (m_path.empty()) return std::nullopt;
    auto store = Open();
    if (!std::holds_alternative<history::Store*>(store)) return std::nullopt;
    const int64_t now = history::NowMs();
    auto state = std::get<history::Store*>(store)->StateAt(mac, now);
    if (auto* known = std::get_if<std::optional<history::Event>>(&state)) return *known;
    return std::nullopt;
}

} // namespace vornik
