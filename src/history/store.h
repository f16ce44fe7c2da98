// The store of the settings history: each read and write with the blocks as
// the device held them, in one SQLite file that the window and vornikctl
// share. No Qt, no sockets.
//
// Nothing here throws: a damaged, locked or full database comes back as an
// Error, so a configuration that records into it can carry on without it.
#pragma once

#include <array>
#include <cstdint>
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

struct Query {
    std::optional<MacAddress> mac;
    std::optional<int64_t> fromMs; // inclusive
    std::optional<int64_t> toMs;   // inclusive
    size_t limit = 0;              // 0: all
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

    // Events in the order they happened (time, then id).
    std::variant<std::vector<Event>, Error> Events(const Query& query) const;
    // The last event of the device at or before the time that holds the block(s) asked for.
    std::variant<std::optional<Event>, Error> StateAt(const MacAddress& mac, int64_t timeMs) const;
    // The blocks as read before the device's most recent write.
    std::variant<std::optional<Event>, Error> BeforeLastWrite(const MacAddress& mac) const;

    const std::string& Path() const { return m_path; }

private:
    Store(std::string path, sqlite3* db);
    std::optional<Error> Migrate();
    Error Failure(int code, const char* what) const;

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
