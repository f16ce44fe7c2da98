#include "history/store.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include <sqlite3.h>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "proto/file_name.h"
#include "proto/mac_address.h"

namespace vornik::history {

namespace {

// Each step brings a file from the version at its index to the next. A step
// runs in the same transaction as the version it writes, so a file is never
// left half way between two layouts.
const char* const kMigrations[] = {
    // 0 -> 1: the first layout.
    "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL);"
    "DELETE FROM schema_version;"
    "INSERT INTO schema_version (version) VALUES (0);"
    "CREATE TABLE events ("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  time_ms INTEGER NOT NULL,"
    "  mac TEXT NOT NULL,"
    "  ip TEXT,"
    "  program TEXT NOT NULL,"
    "  operation TEXT NOT NULL,"
    "  stage TEXT NOT NULL CHECK (stage IN ('read', 'before', 'after')),"
    "  network BLOB,"
    "  device BLOB);"
    "CREATE INDEX events_by_mac ON events (mac, time_ms, id);"
    "CREATE INDEX events_by_time ON events (time_ms, id);",
};
static_assert(std::size(kMigrations) == SCHEMA_VERSION);

struct Statement {
    sqlite3_stmt* s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

Status StatusOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return Status::Damaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return Status::Locked;
    case SQLITE_FULL: return Status::Full;
    case SQLITE_READONLY: return Status::ReadOnly;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH: return Status::CannotOpen;
    case SQLITE_IOERR: return Status::Io;
    default: return Status::Other;
    }
}

Error MakeError(Status status, const std::string& path, std::string_view what)
{
    return Error{status, "history " + path + ": " + std::string(what)};
}

const char* kColumns = "id, time_ms, mac, ip, program, operation, stage, network, device";

std::string Text(sqlite3_stmt* s, int column)
{
    const auto* text = sqlite3_column_text(s, column);
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}

std::optional<Stage> StageFromName(std::string_view name)
{
    for (Stage stage : {Stage::Read, Stage::Before, Stage::After})
        if (name == StageName(stage)) return stage;
    return std::nullopt;
}

// One row as an event; nothing when a value cannot have come from Record.
std::optional<Event> EventOfRow(sqlite3_stmt* s)
{
    Event e;
    e.id = sqlite3_column_int64(s, 0);
    e.timeMs = sqlite3_column_int64(s, 1);
    const auto mac = ParseMac(Text(s, 2), MacSpelling::Any);
    const auto stage = StageFromName(Text(s, 6));
    if (!mac || !stage) return std::nullopt;
    e.mac = *mac;
    if (sqlite3_column_type(s, 3) != SQLITE_NULL) e.ip = ParseDottedQuad(Text(s, 3));
    e.program = Text(s, 4);
    e.operation = Text(s, 5);
    e.stage = *stage;
    if (sqlite3_column_type(s, 7) != SQLITE_NULL) {
        if (size_t(sqlite3_column_bytes(s, 7)) != NETWORK_PARAMS_SIZE) return std::nullopt;
        e.network.emplace();
        std::memcpy(e.network->data(), sqlite3_column_blob(s, 7), NETWORK_PARAMS_SIZE);
    }
    if (sqlite3_column_type(s, 8) != SQLITE_NULL) {
        if (size_t(sqlite3_column_bytes(s, 8)) != DEVICE_BLOCK_SIZE) return std::nullopt;
        e.device.emplace();
        std::memcpy(e.device->data(), sqlite3_column_blob(s, 8), DEVICE_BLOCK_SIZE);
    }
    return e;
}

// A statement SQLite may refuse with "busy" without calling the busy handler
// (it does so where waiting could deadlock, as when two connections switch
// one new file to WAL at once), tried again until the busy timeout is spent.
int ExecWaiting(sqlite3* db, const char* sql, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        if ((rc & 0xff) != SQLITE_BUSY || std::chrono::steady_clock::now() >= deadline) return rc;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

} // namespace

const char* StatusName(Status status)
{
    switch (status) {
    case Status::CannotOpen: return "cannot open";
    case Status::Damaged: return "damaged";
    case Status::Locked: return "locked";
    case Status::Full: return "full";
    case Status::ReadOnly: return "read-only";
    case Status::TooNew: return "too new";
    case Status::Foreign: return "not a history";
    case Status::BadEvent: return "bad event";
    case Status::Io: return "input/output error";
    case Status::Other: return "error";
    }
    return "error";
}

Store::Store(std::string path, sqlite3* db) : m_path(std::move(path)), m_db(db) {}

Store::Store(Store&& other) noexcept
    : m_path(std::move(other.m_path)), m_db(std::exchange(other.m_db, nullptr)), m_busyTimeoutMs(other.m_busyTimeoutMs)
{
}

Store& Store::operator=(Store&& other) noexcept
{
    if (this != &other) {
        sqlite3_close(m_db);
        m_path = std::move(other.m_path);
        m_db = std::exchange(other.m_db, nullptr);
        m_busyTimeoutMs = other.m_busyTimeoutMs;
    }
    return *this;
}

Store::~Store() { sqlite3_close(m_db); }

Error Store::Failure(int code, const char* what) const
{
    // The connection's own message names the cause more closely than the code.
    const char* detail = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
    return MakeError(StatusOf(code), m_path, std::string(what) + ": " + detail);
}

std::variant<Store, Error> Store::Open(const std::string& path, const Options& options)
{
    if (path.empty()) return MakeError(Status::CannotOpen, path, "no file named");
    std::error_code ec;
    if (!options.create && !std::filesystem::exists(FilePath(path), ec))
        return MakeError(Status::CannotOpen, path, "no such file (nothing recorded there yet)");
    const auto folder = FilePath(path).parent_path();
    if (options.create && !folder.empty()) {
        // The folders made here hold one user's record of the devices: theirs
        // alone, whatever the umask.
        std::vector<std::filesystem::path> made;
        for (auto p = folder; !p.empty() && !std::filesystem::exists(p, ec); p = p.parent_path()) {
            made.push_back(p);
            if (p == p.parent_path()) break;
        }
        std::filesystem::create_directories(folder, ec);
        if (ec) return MakeError(Status::CannotOpen, path, "cannot make its folder: " + ec.message());
#ifndef _WIN32
        for (const auto& p : made) std::filesystem::permissions(p, std::filesystem::perms::owner_all, ec);
#endif
    }
    if (std::filesystem::exists(FilePath(path), ec) && !std::filesystem::is_regular_file(FilePath(path), ec))
        return MakeError(Status::CannotOpen, path, "not a regular file");
#ifndef _WIN32
    // Made 0600 before SQLite opens it, which gives its journal files the
    // same mode; left to SQLite it would be 0644 less the umask.
    if (options.create && !std::filesystem::exists(FilePath(path), ec)) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) ::close(fd);
    }
#endif

    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | (options.create ? SQLITE_OPEN_CREATE : 0), nullptr);
    Store store(path, db); // closes the handle on every way out, even a failed open's
    if (opened != SQLITE_OK) return store.Failure(opened, "cannot open");
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, options.busyTimeoutMs);
    store.m_busyTimeoutMs = options.busyTimeoutMs;

    if (options.maxBytes > 0) {
        Statement page;
        int64_t pageSize = 4096;
        if (sqlite3_prepare_v2(db, "PRAGMA page_size", -1, &page.s, nullptr) == SQLITE_OK &&
            sqlite3_step(page.s) == SQLITE_ROW)
            pageSize = sqlite3_column_int64(page.s, 0);
        const std::string limit =
            "PRAGMA max_page_count = " + std::to_string(std::max<int64_t>(1, options.maxBytes / pageSize));
        if (int rc = sqlite3_exec(db, limit.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
            return store.Failure(rc, "cannot open");
    }
    if (auto error = store.Migrate()) return *error;
    return store;
}

std::optional<Error> Store::Migrate()
{
    // The version as the file holds it: no table at all is version 0, unless
    // the file holds tables of someone else's.
    auto readVersion = [this](int& version) -> std::optional<Error> {
        Statement s;
        int rc = sqlite3_prepare_v2(m_db,
                                    "SELECT (SELECT count(*) FROM sqlite_master WHERE name = 'schema_version'),"
                                    "       (SELECT count(*) FROM sqlite_master WHERE type = 'table')",
                                    -1, &s.s, nullptr);
        if (rc != SQLITE_OK) return Failure(rc, "cannot read its version");
        rc = sqlite3_step(s.s);
        if (rc != SQLITE_ROW) return Failure(rc, "cannot read its version");
        const bool versioned = sqlite3_column_int(s.s, 0) > 0;
        const bool empty = sqlite3_column_int(s.s, 1) == 0;
        if (!versioned) {
            if (!empty) return MakeError(Status::Foreign, m_path, "holds tables but no history");
            version = 0;
            return std::nullopt;
        }
        Statement v;
        rc = sqlite3_prepare_v2(m_db, "SELECT max(version), count(*) FROM schema_version", -1, &v.s, nullptr);
        if (rc != SQLITE_OK) return Failure(rc, "cannot read its version");
        rc = sqlite3_step(v.s);
        if (rc != SQLITE_ROW) return Failure(rc, "cannot read its version");
        if (sqlite3_column_int(v.s, 1) != 1) return MakeError(Status::Damaged, m_path, "its version is not one row");
        version = sqlite3_column_int(v.s, 0);
        return std::nullopt;
    };

    int version = 0;
    if (auto error = readVersion(version)) return error;
    if (version > SCHEMA_VERSION)
        return MakeError(Status::TooNew, m_path,
                         "written by a later version (layout " + std::to_string(version) + ", this program knows up to " +
                             std::to_string(SCHEMA_VERSION) + ")");
    if (version < 0) return MakeError(Status::Damaged, m_path, "its version is negative");

    // Only a file known to be a history is switched to WAL: the switch
    // rewrites its header. In WAL a crash loses at most the last
    // transactions, never the file, so NORMAL synchronisation is enough.
    if (int rc = ExecWaiting(m_db, "PRAGMA journal_mode = WAL", m_busyTimeoutMs); rc != SQLITE_OK)
        return Failure(rc, "cannot open");
    if (int rc = sqlite3_exec(m_db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return Failure(rc, "cannot open");
    if (version == SCHEMA_VERSION) return std::nullopt;

    // Another program may be migrating the same file: take the write lock,
    // then read the version again.
    if (int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return Failure(rc, "cannot update its layout");
    auto rollback = [this](Error error) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return error;
    };
    if (auto error = readVersion(version)) return rollback(*error);
    for (; version < SCHEMA_VERSION; ++version) {
        if (int rc = sqlite3_exec(m_db, kMigrations[version], nullptr, nullptr, nullptr); rc != SQLITE_OK)
            return rollback(Failure(rc, "cannot update its layout"));
    }
    const std::string set = "UPDATE schema_version SET version = " + std::to_string(SCHEMA_VERSION);
    if (int rc = sqlite3_exec(m_db, set.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return rollback(Failure(rc, "cannot update its layout"));
    if (int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return rollback(Failure(rc, "cannot update its layout"));
    return std::nullopt;
}

std::variant<int64_t, Error> Store::Record(const Event& event)
{
    if (auto error = RecordAll(std::span<const Event>(&event, 1))) return *error;
    return int64_t(sqlite3_last_insert_rowid(m_db));
}

std::optional<Error> Store::RecordAll(std::span<const Event> events)
{
    for (const Event& e : events) {
        if (e.program.empty() || e.operation.empty())
            return MakeError(Status::BadEvent, m_path, "an event names no program or operation");
        if (!e.network && !e.device) return MakeError(Status::BadEvent, m_path, "an event holds no block");
    }
    if (int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return Failure(rc, "cannot record");
    auto rollback = [this](Error error) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return error;
    };
    Statement s;
    int rc = sqlite3_prepare_v2(m_db,
                                "INSERT INTO events (time_ms, mac, ip, program, operation, stage, network, device)"
                                " VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                                -1, &s.s, nullptr);
    if (rc != SQLITE_OK) return rollback(Failure(rc, "cannot record"));
    for (const Event& e : events) {
        sqlite3_reset(s.s);
        sqlite3_clear_bindings(s.s);
        const std::string mac = FormatMacHex(e.mac);
        const std::string ip = FormatDottedQuad(e.ip);
        sqlite3_bind_int64(s.s, 1, e.timeMs);
        sqlite3_bind_text(s.s, 2, mac.c_str(), -1, SQLITE_TRANSIENT);
        if (e.ip != 0) sqlite3_bind_text(s.s, 3, ip.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s.s, 4, e.program.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s.s, 5, e.operation.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(s.s, 6, StageName(e.stage), -1, SQLITE_STATIC);
        if (e.network) sqlite3_bind_blob(s.s, 7, e.network->data(), int(e.network->size()), SQLITE_TRANSIENT);
        if (e.device) sqlite3_bind_blob(s.s, 8, e.device->data(), int(e.device->size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(s.s);
        if (rc != SQLITE_DONE) return rollback(Failure(rc, "cannot record"));
    }
    rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rollback(Failure(rc, "cannot record"));
    return std::nullopt;
}

std::optional<Error> Store::EachEvent(const Query& query, const std::function<bool(const Event&)>& each) const
{
    std::string sql = std::string("SELECT ") + kColumns + " FROM events WHERE 1";
    if (query.mac) sql += " AND mac = ?1";
    if (query.fromMs) sql += " AND time_ms >= ?2";
    if (query.toMs) sql += " AND time_ms <= ?3";
    if (query.before) sql += " AND (time_ms, id) < (?4, ?5)";
    sql += query.newestFirst ? " ORDER BY time_ms DESC, id DESC" : " ORDER BY time_ms, id";
    if (query.limit) sql += " LIMIT " + std::to_string(query.limit);
    Statement s;
    int rc = sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s.s, nullptr);
    if (rc != SQLITE_OK) return Failure(rc, "cannot read");
    const std::string mac = query.mac ? FormatMacHex(*query.mac) : std::string();
    if (query.mac) sqlite3_bind_text(s.s, 1, mac.c_str(), -1, SQLITE_TRANSIENT);
    if (query.fromMs) sqlite3_bind_int64(s.s, 2, *query.fromMs);
    if (query.toMs) sqlite3_bind_int64(s.s, 3, *query.toMs);
    if (query.before) {
        sqlite3_bind_int64(s.s, 4, query.before->timeMs);
        sqlite3_bind_int64(s.s, 5, query.before->id);
    }
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW) {
        const auto e = EventOfRow(s.s);
        if (!e) return MakeError(Status::Damaged, m_path, "an event holds values no program recorded");
        if (!each(*e)) return std::nullopt;
    }
    if (rc != SQLITE_DONE) return Failure(rc, "cannot read");
    return std::nullopt;
}

std::variant<std::vector<Event>, Error> Store::Events(const Query& query) const
{
    std::vector<Event> events;
    if (auto error = EachEvent(query, [&events](const Event& e) {
            events.push_back(e);
            return true;
        }))
        return *error;
    return events;
}

std::variant<std::optional<Event>, Error> Store::StateAt(const MacAddress& mac, int64_t timeMs) const
{
    return StateThrough(mac, {timeMs, std::numeric_limits<int64_t>::max()});
}

// The two queries of a device's state, one per block, prepared once for
// however many devices are asked after.
struct Store::StateQueries {
    Statement blocks[2];
};

std::optional<Error> Store::Prepare(StateQueries& queries) const
{
    const char* columns[2] = {"network", "device"};
    for (int b = 0; b < 2; ++b) {
        const std::string sql = std::string("SELECT ") + kColumns +
                                " FROM events WHERE mac = ? AND (time_ms, id) <= (?, ?) AND " + columns[b] +
                                " IS NOT NULL ORDER BY time_ms DESC, id DESC LIMIT 1";
        const int rc = sqlite3_prepare_v2(m_db, sql.c_str(), -1, &queries.blocks[b].s, nullptr);
        if (rc != SQLITE_OK) return Failure(rc, "cannot read");
    }
    return std::nullopt;
}

std::variant<std::optional<Event>, Error> Store::StateWith(StateQueries& queries, const MacAddress& mac,
                                                           Position through) const
{
    // Each block from the last event that holds it: a read of one block
    // leaves the other as it was last seen.
    const std::string hex = FormatMacHex(mac);
    std::optional<Event> state;
    for (int b = 0; b < 2; ++b) {
        sqlite3_stmt* s = queries.blocks[b].s;
        sqlite3_reset(s);
        sqlite3_bind_text(s, 1, hex.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, 2, through.timeMs);
        sqlite3_bind_int64(s, 3, through.id);
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_DONE) continue;
        if (rc != SQLITE_ROW) return Failure(rc, "cannot read");
        auto e = EventOfRow(s);
        if (!e) return MakeError(Status::Damaged, m_path, "an event holds values no program recorded");
        if (!state) {
            state = std::move(e);
            if (b == 0) state->device.reset();
            continue;
        }
        state->device = e->device;
        if (e->timeMs > state->timeMs || (e->timeMs == state->timeMs && e->id > state->id)) {
            e->network = state->network;
            state = std::move(e);
        }
    }
    return state;
}

std::variant<std::optional<Event>, Error> Store::StateThrough(const MacAddress& mac, Position through) const
{
    StateQueries queries;
    if (auto error = Prepare(queries)) return *error;
    return StateWith(queries, mac, through);
}

std::variant<std::vector<std::optional<Event>>, Error> Store::StatesAt(std::span<const MacAddress> macs,
                                                                       int64_t timeMs) const
{
    std::vector<std::optional<Event>> states;
    if (macs.empty()) return states;
    StateQueries queries;
    if (auto error = Prepare(queries)) return *error;
    // One read transaction: the devices' states are of one moment of the
    // file, and it is not opened and closed again for each of them.
    if (int rc = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return Failure(rc, "cannot read");
    states.reserve(macs.size());
    for (const MacAddress& mac : macs) {
        auto state = StateWith(queries, mac, {timeMs, std::numeric_limits<int64_t>::max()});
        if (auto* error = std::get_if<Error>(&state)) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            return *error;
        }
        states.push_back(std::move(std::get<std::optional<Event>>(state)));
    }
    for (auto& q : queries.blocks) sqlite3_reset(q.s);
    if (int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return Failure(rc, "cannot read");
    return states;
}

std::variant<PruneSummary, Error> Store::Prune(const PruneRule& rule, bool dryRun)
{
    // An event is kept by any rule that keeps it and by being the last of
    // its device to hold one of the blocks: that state is what export,
    // restore --at and replace give when nothing later is recorded.
    std::string keptByRule;
    if (rule.keepFromMs) keptByRule += " OR time_ms >= ?1";
    if (rule.keepLast) keptByRule += " OR newest <= ?2";
    const std::string doomed =
        "WITH ranked AS (SELECT id, mac, time_ms,"
        "    row_number() OVER (PARTITION BY mac ORDER BY time_ms DESC, id DESC) AS newest FROM events),"
        " devices AS (SELECT DISTINCT mac FROM events),"
        " last_blocks AS ("
        "    SELECT (SELECT id FROM events e WHERE e.mac = d.mac AND e.network IS NOT NULL"
        "            ORDER BY time_ms DESC, id DESC LIMIT 1) AS id FROM devices d"
        "    UNION SELECT (SELECT id FROM events e WHERE e.mac = d.mac AND e.device IS NOT NULL"
        "            ORDER BY time_ms DESC, id DESC LIMIT 1) FROM devices d),"
        " doomed AS (SELECT id, mac, time_ms FROM ranked WHERE NOT (0" +
        keptByRule + ") AND id NOT IN (SELECT id FROM last_blocks WHERE id IS NOT NULL)) ";
    auto bind = [&rule](sqlite3_stmt* s) {
        if (rule.keepFromMs) sqlite3_bind_int64(s, 1, *rule.keepFromMs);
        if (rule.keepLast) sqlite3_bind_int64(s, 2, int64_t(*rule.keepLast));
    };
    auto rollback = [this](Error error) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return error;
    };
    // The summary and the removal see the same events: no other program
    // records in between.
    if (int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return Failure(rc, "cannot prune");

    PruneSummary summary;
    {
        Statement s;
        const std::string sql = doomed + "SELECT mac, count(*), min(time_ms), max(time_ms) FROM doomed GROUP BY mac ORDER BY mac";
        int rc = sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s.s, nullptr);
        if (rc != SQLITE_OK) return rollback(Failure(rc, "cannot prune"));
        bind(s.s);
        while ((rc = sqlite3_step(s.s)) == SQLITE_ROW) {
            const auto mac = ParseMac(Text(s.s, 0), MacSpelling::Any);
            if (!mac) return rollback(MakeError(Status::Damaged, m_path, "an event holds values no program recorded"));
            PrunedDevice d{*mac, size_t(sqlite3_column_int64(s.s, 1)), sqlite3_column_int64(s.s, 2),
                           sqlite3_column_int64(s.s, 3)};
            summary.removed += d.removed;
            summary.devices.push_back(d);
        }
        if (rc != SQLITE_DONE) return rollback(Failure(rc, "cannot prune"));
    }
    {
        Statement s;
        int rc = sqlite3_prepare_v2(m_db, "SELECT count(*) FROM events", -1, &s.s, nullptr);
        if (rc != SQLITE_OK || (rc = sqlite3_step(s.s)) != SQLITE_ROW) return rollback(Failure(rc, "cannot prune"));
        summary.kept = size_t(sqlite3_column_int64(s.s, 0)) - summary.removed;
    }
    if (dryRun || summary.removed == 0) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return summary;
    }
    {
        Statement s;
        const std::string sql = doomed + "DELETE FROM events WHERE id IN (SELECT id FROM doomed)";
        int rc = sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s.s, nullptr);
        if (rc != SQLITE_OK) return rollback(Failure(rc, "cannot prune"));
        bind(s.s);
        if ((rc = sqlite3_step(s.s)) != SQLITE_DONE) return rollback(Failure(rc, "cannot prune"));
    }
    if (int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr); rc != SQLITE_OK)
        return rollback(Failure(rc, "cannot prune"));
    // The file shrinks only when rebuilt; a program reading it meanwhile
    // keeps it from that, and the pages freed are then reused by the next
    // events instead. The removal stands either way.
    sqlite3_exec(m_db, "VACUUM", nullptr, nullptr, nullptr);
    return summary;
}

std::variant<std::optional<Event>, Error> Store::BeforeLastWrite(const MacAddress& mac) const
{
    const std::string sql = std::string("SELECT ") + kColumns +
                            " FROM events WHERE mac = ? AND stage = 'before' ORDER BY time_ms DESC, id DESC LIMIT 1";
    Statement s;
    int rc = sqlite3_prepare_v2(m_db, sql.c_str(), -1, &s.s, nullptr);
    if (rc != SQLITE_OK) return Failure(rc, "cannot read");
    const std::string hex = FormatMacHex(mac);
    sqlite3_bind_text(s.s, 1, hex.c_str(), -1, SQLITE_TRANSIENT);
    rc = sqlite3_step(s.s);
    if (rc == SQLITE_DONE) return std::optional<Event>();
    if (rc != SQLITE_ROW) return Failure(rc, "cannot read");
    auto e = EventOfRow(s.s);
    if (!e) return MakeError(Status::Damaged, m_path, "an event holds values no program recorded");
    return e;
}

std::string DefaultPath()
{
#ifdef _WIN32
    // Each user's own, not roaming: a history is of this PC's work.
    const std::string local = EnvironmentText("LOCALAPPDATA");
    if (local.empty() || !FilePath(local).is_absolute()) return {};
    return local + "\\vornik\\history.sqlite";
#else
    const char* data = std::getenv("XDG_DATA_HOME");
    std::filesystem::path base;
    // The XDG rules say a relative value is to be ignored.
    if (data && *data && std::filesystem::path(data).is_absolute()) {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) return {};
        base = std::filesystem::path(home) / ".local" / "share";
    }
    return (base / "vornik" / "history.sqlite").string();
#endif
}

} // namespace vornik::history
