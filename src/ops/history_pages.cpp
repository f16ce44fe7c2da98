#include "ops/history_pages.h"

#include "ops/device_history.h"
#include "ops/device_ops.h"
#include "ops/read_back.h"
#include "ops/texts.h"
#include "proto/cp936.h"
#include "proto/mac_address.h"
#include "proto/net_params.h"

namespace vornik {

namespace {

const char* StageText(history::Stage stage)
{
    switch (stage) {
    case history::Stage::Read: return text::kHistoryStageRead.Utf8();
    case history::Stage::Before: return text::kHistoryStageBefore.Utf8();
    case history::Stage::After: return text::kHistoryStageAfter.Utf8();
    }
    return "";
}

std::string ChangesText(const std::vector<history::Change>& changes)
{
    if (changes.empty()) return text::kHistoryNoChange.Utf8();
    std::string parts;
    for (const history::Change& c : changes) {
        if (!parts.empty()) parts += text::kHistoryChangeSeparator.Utf8();
        parts += Utf8FromCp936(DifferencesText936(c.block, {c.difference}));
    }
    return parts;
}

} // namespace

const std::array<const char*, HISTORY_COLUMNS>& HistoryHeadings()
{
    static const std::array<const char*, HISTORY_COLUMNS> headings = {
        text::kHistoryTime.Utf8(), text::kHistoryProgram.Utf8(), text::kHistoryOperation.Utf8(),
        text::kHistoryStage.Utf8(), text::kHistoryIp.Utf8(), text::kHistoryChanges.Utf8()};
    return headings;
}

std::string HistoryPages::Heading() const
{
    const std::string mac = FormatMacText(m_mac);
    return m_positions.empty() ? text::kHistoryEmptyBefore.Utf8() + mac + text::kHistoryEmptyAfter.Utf8()
                               : text::kHistoryHeadingBefore.Utf8() + mac + text::kHistoryHeadingAfter.Utf8();
}

bool HistoryPages::LoadMore(std::vector<HistoryRow>& rows)
{
    if (m_complete || m_failure) return false;
    history::Query query;
    query.mac = m_mac;
    query.newestFirst = true;
    query.limit = PAGE;
    if (!m_positions.empty()) query.before = m_positions.back();
    std::vector<history::Event> page; // newest first
    if (auto error = m_store.EachEvent(query, [&page](const history::Event& e) {
            page.push_back(e);
            return true;
        })) {
        m_failure = error->message;
        return false;
    }
    m_complete = page.size() < PAGE;
    if (page.empty()) return false;

    // What each entry changed needs the blocks as they stood before the
    // page's oldest: the state just before it, not the entries before it.
    history::ChangeTracker tracker;
    const history::Event& oldest = page.back();
    auto before = m_store.StateThrough(m_mac, {oldest.timeMs, oldest.id - 1});
    if (auto* error = std::get_if<history::Error>(&before)) {
        m_failure = error->message;
        return false;
    }
    if (const auto& state = std::get<std::optional<history::Event>>(before)) tracker.Seed(*state);
    std::vector<std::vector<history::Change>> changes(page.size());
    for (size_t i = page.size(); i-- > 0;) changes[i] = tracker.Next(page[i]);

    for (size_t i = 0; i < page.size(); ++i) {
        const history::Event& e = page[i];
        rows.push_back({history::TimeText(e.timeMs), e.program, Utf8FromCp936(OperationName936(e.operation)),
                        StageText(e.stage), e.ip ? FormatDottedQuad(e.ip) : std::string(), ChangesText(changes[i])});
        m_positions.push_back({e.timeMs, e.id});
    }
    return true;
}

bool HistoryPages::FillPages(size_t row, DeviceOps& ops) const
{
    if (row >= m_positions.size()) return false;
    const history::Position at = m_positions[row];
    // Each block as the entry left it: from the entry, or from the last one before it that held it.
    auto state = m_store.StateThrough(m_mac, at);
    const auto* event = std::get_if<std::optional<history::Event>>(&state);
    if (!event || !*event) return false;
    std::optional<DeviceParams> params;
    if ((*event)->device) params = DecodeDeviceBlock(*(*event)->device);
    const std::string when = history::TimeText(at.timeMs);
    ops.ShowRecordedState((*event)->network, params, when);
    ops.AppendInfoLine(Cp936FromUtf8Lossy(text::kHistoryFilledBefore.Utf8() + FormatMacText(m_mac) +
                                          text::kHistoryFilledAt.Utf8() + when + text::kHistoryFilledAfter.Utf8()));
    return true;
}

} // namespace vornik
