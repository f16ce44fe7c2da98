#include "history/store_file.h"

#include "history/time_text.h"

namespace vornik::history {

StoreFile::StoreFile(std::string path, Options options) : m_path(std::move(path)), m_options(options) {}

std::variant<Store*, std::string> StoreFile::Open()
{
    if (m_store) return &*m_store;
    auto opened = Store::Open(m_path, m_options);
    if (auto* error = std::get_if<Error>(&opened)) return error->message;
    m_store.emplace(std::move(std::get<Store>(opened)));
    return &*m_store;
}

std::optional<std::string> StoreFile::Keep(std::span<const Event> events)
{
    // No path (no home to put the default in) is a history that cannot be written, and is said.
    auto store = Open();
    if (auto* why = std::get_if<std::string>(&store)) return *why;
    if (auto error = std::get<Store*>(store)->RecordAll(events)) return error->message;
    return std::nullopt;
}

std::optional<Event> StoreFile::LastKnown(const MacAddress& mac)
{
    if (m_path.empty()) return std::nullopt;
    auto store = Open();
    if (!std::holds_alternative<Store*>(store)) return std::nullopt;
    auto state = std::get<Store*>(store)->StateAt(mac, NowMs());
    if (auto* known = std::get_if<std::optional<Event>>(&state)) return *known;
    return std::nullopt;
}

std::vector<std::optional<Event>> StoreFile::LastKnownOf(std::span<const MacAddress> macs)
{
    std::vector<std::optional<Event>> none(macs.size());
    if (m_path.empty() || macs.empty()) return none;
    auto store = Open();
    if (!std::holds_alternative<Store*>(store)) return none;
    auto states = std::get<Store*>(store)->StatesAt(macs, NowMs());
    if (auto* known = std::get_if<std::vector<std::optional<Event>>>(&states)) return std::move(*known);
    return none;
}

} // namespace vornik::history
