// The store of the settings history: each read and write with the blocks as
// the device held them, in one SQLite file that the window and vornikctl
// share. No Qt, no sockets.
//
// Nothing here throws: a damaged, locked or full database comes back as an
// Error, so a configuration that records into it can carry on without it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "history/event.h"

struct sqlite3;

namespace vornik::history {

// The layout of the file this program writes; older files are brought up to
// it when opened, newer ones are refused untouched.
inline constexpr int SCHEMA_VERSION = 1;

enum class Status {
    CannotOpen, // no such folder and none could be made, no permission, not a file
    Damaged,    // not a database, or one whose pages are broken
    Locked,     // another program held it longer than the busy timeout
    Full,       // the disk (or the size limit) has no room left
    ReadOnly,
    TooNew,     // written by a later version of this program
    Foreign,    // a database, but not a history
    BadEvent,   // an event without a MAC, or a block of the wrong size
    Io,
    Other,
};

struct Error {
    Status status = Status::Other;
    std::string message; // one line, naming the file
};

// An event's place in the order events happened: its time, then its id.
struct Position {
    int64_t timeMs = 0;
    int64_t id = 0;
};

struct Query {
    std::optional<MacAddress> mac;
    std::optional<int64_t> fromMs; // inclusive
    std::optional<int64_t> toMs;   // inclusive
    size_t limit = 0;              // 0: all
    // Only events before this place: the next page of a listing read back
    // from the newest.
    std::optional<Position> before;
    bool newestFirst = false;
};

// What `history prune` removes: an event goes when no rule given keeps it.
// Each device's last state (the last event that holds each of its blocks)
// is kept whatever the rules say.
struct PruneRule {
    std::optional<int64_t> keepFromMs; // keeps the events at or after this time
    std::optional<size_t> keepLast;    // keeps each device's last N events
};

struct PrunedDevice {
    MacAddress mac{};
    size_t removed = 0;
    int64_t fromMs = 0; // the first and the last event removed
    int64_t toMs = 0;
};

struct PruneSummary {
    std::vector<PrunedDevice> devices; // those that lose events, by MAC
    size_t removed = 0;
    size_t kept = 0;
};

struct Options {
    int busyTimeoutMs = 2000;
    // A limit on the file's size in bytes (0: none); a store at it answers Full.
    int64_t maxBytes = 0;
    // False for a program that only reads it: a file that is not there is
    // an error (a mistyped --history) rather than a new, empty history.
    bool create = true;
};

class Store {
public:
    // Opens or creates the file (and its folder) and brings its layout up to
    // SCHEMA_VERSION; WAL, so another program may read and write it meanwhile.
    static std::variant<Store, Error> Open(const std::string& path, const Options& options = {});

    Store(Store&&) noexcept;
    Store& operator=(Store&&) noexcept;
    ~Store();

    // Stores one event in a transaction of its own; its id, or why not.
    std::variant<int64_t, Error> Record(const Event& event);
    // Several events at once: all of them or none.
    std::optional<Error> RecordAll(std::span<const Event> events);

    // Events in the order they happened (time, then id), or the newest first.
    std::variant<std::vector<Event>, Error> Events(const Query& query) const;
    // The same events handed over one at a time as they are read, so that a
    // listing holds one event however many the file has; `each` returns
    // false to stop. Events handed over before a failure stay handed over.
    std::optional<Error> EachEvent(const Query& query, const std::function<bool(const Event&)>& each) const;
    // The last event of the device at or before the time that holds the block(s) asked for.
    std::variant<std::optional<Event>, Error> StateAt(const MacAddress& mac, int64_t timeMs) const;
    // The state the event at `through` left the device in: each block from
    // the last of its events up to that place that holds it. At most two rows read.
    std::variant<std::optional<Event>, Error> StateThrough(const MacAddress& mac, Position through) const;
    // StateAt of each device, in their order, read in one transaction.
    std::variant<std::vector<std::optional<Event>>, Error> StatesAt(std::span<const MacAddress> macs,
                                                                    int64_t timeMs) const;
    // The blocks as read before the device's most recent write.
    std::variant<std::optional<Event>, Error> BeforeLastWrite(const MacAddress& mac) const;

    // Removes what the rule does not keep, in one transaction, then gives
    // the file's free pages back; with `dryRun` only says what would go.
    std::variant<PruneSummary, Error> Prune(const PruneRule& rule, bool dryRun);

    const std::string& Path() const { return m_path; }

private:
    Store(std::string path, sqlite3* db);
    std::optional<Error> Migrate();
    Error Failure(int code, const char* what) const;
    struct StateQueries;
    std::optional<Error> Prepare(StateQueries& queries) const;
    std::variant<std::optional<Event>, Error> StateWith(StateQueries& queries, const MacAddress& mac,
                                                        Position through) const;

    std::string m_path;
    sqlite3* m_db = nullptr;
    int m_busyTimeoutMs = 0;
};

// $XDG_DATA_HOME/vornik/history.sqlite, or ~/.local/share/vornik/history.sqlite
// when XDG_DATA_HOME is unset or not absolute; on Windows
// %LOCALAPPDATA%\vornik\history.sqlite. Empty when none is known.
std::string DefaultPath();

const char* StatusName(Status status);

} // namespace vornik::history
