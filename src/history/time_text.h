// Times as the history keeps and shows them. No Qt, no SQLite.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vornik::history {

// The time an event is recorded with: now, in milliseconds since 1970-01-01 UTC.
int64_t NowMs();

// Times as the history shows them, UTC with milliseconds: 2026-12-08T07:01:02.123Z.
std::string TimeText(int64_t timeMs);
// Such a text, also without the milliseconds (then the last millisecond of
// that second, so a time shown without them includes its events), with a
// space for the T, with or without the Z; nothing for any other text.
std::optional<int64_t> ParseTimeText(const std::string& text);

} // namespace vornik::history
