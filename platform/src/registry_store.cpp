// SPDX-License-Identifier: MIT
#include "registry_store.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/paths.h>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <system_error>

namespace pixtera {

// Where the registry lives, and whether this process is the machine layer's writer: the store's
// own knowledge, which the registry API above it reports.
namespace {
std::atomic<bool> machineRegistryInUse{false};
}

std::optional<std::filesystem::path> MachineRegistryPath()
{
    if (const char* path = std::getenv("PIXTERA_MACHINE_REGISTRY"))
        return *path ? std::optional<std::filesystem::path>(path) : std::nullopt;
    return std::filesystem::path("/var/lib/pixtera/registry.db");
}

void UseMachineRegistry() { machineRegistryInUse = true; }

bool UsingMachineRegistry() { return machineRegistryInUse; }

std::filesystem::path RegistryPath()
{
    if (UsingMachineRegistry()) {
        if (auto machine = MachineRegistryPath())
            return *machine;
    }
    if (const char* path = std::getenv("PIXTERA_REGISTRY"); path && *path)
        return path;
    return XdgDataHome() / "pixtera" / "registry.db";
}

namespace {

constexpr int kBusyTimeoutMs = 15000;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS keys(
    path TEXT NOT NULL PRIMARY KEY COLLATE NOCASE,
    parent TEXT NOT NULL COLLATE NOCASE,
    name TEXT NOT NULL COLLATE NOCASE);
CREATE INDEX IF NOT EXISTS keys_by_parent ON keys(parent, name);
CREATE TABLE IF NOT EXISTS vals(
    key TEXT NOT NULL COLLATE NOCASE,
    name TEXT NOT NULL COLLATE NOCASE,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, name));
)sql";

LSTATUS FromSqlite(int rc, LSTATUS fallback)
{
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return ERROR_SUCCESS;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return ERROR_LOCK_VIOLATION;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return ERROR_BADDB;
    case SQLITE_CANTOPEN: return ERROR_CANTOPEN;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return fallback;
    }
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(statement_); }

    Statement& Bind(int index, const std::string& text)
    {
        Keep(sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& Bind(int index, long long number)
    {
        Keep(sqlite3_bind_int64(statement_, index, number));
        return *this;
    }
    Statement& BindBlob(int index, const BYTE* data, DWORD size)
    {
        // A zero-length blob must not bind as NULL.
        static const BYTE kNothing = 0;
        Keep(sqlite3_bind_blob(statement_, index, size ? data : &kNothing, static_cast<int>(size), SQLITE_TRANSIENT));
        return *this;
    }

    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step()
    {
        if (rc_ != SQLITE_OK)
            return rc_;
        return sqlite3_step(statement_);
    }
    int Run()
    {
        const int rc = Step();
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    std::string Text(int column) const
    {
        const auto* text = sqlite3_column_text(statement_, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                    : std::string();
    }
    long long Integer(int column) const { return sqlite3_column_int64(statement_, column); }
    std::vector<BYTE> Blob(int column) const
    {
        const auto* data = static_cast<const BYTE*>(sqlite3_column_blob(statement_, column));
        return data ? std::vector<BYTE>(data, data + sqlite3_column_bytes(statement_, column)) : std::vector<BYTE>();
    }

private:
    void Keep(int rc)
    {
        if (rc_ == SQLITE_OK)
            rc_ = rc;
    }

    sqlite3_stmt* statement_ = nullptr;
    int rc_ = SQLITE_OK;
};

// A write transaction taken with BEGIN IMMEDIATE, so that two processes never both read and then
// fail to write; rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db) : db_(db)
    {
        rc_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    ~WriteTransaction()
    {
        if (rc_ == SQLITE_OK && !committed_)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    int status() const { return rc_; }
    int Commit()
    {
        const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        committed_ = rc == SQLITE_OK;
        return rc;
    }

private:
    sqlite3* db_;
    int rc_;
    bool committed_ = false;
};

// A row of "SELECT name, type, data FROM vals".
void ReadValueRow(const Statement& row, RegistryValue& value)
{
    value.name = row.Text(0);
    value.type = static_cast<DWORD>(row.Integer(1));
    value.data = row.Blob(2);
}

bool IsRootPath(const std::string& path) { return path.find('\\') == std::string::npos; }

// Upper bound of the subtree below `path` under NOCASE ordering: ']' follows '\'.
std::string SubtreeEnd(const std::string& path) { return path + "]"; }
std::string SubtreeBegin(const std::string& path) { return path + "\\"; }

// A file: URI for SQLite, which reads '?', '#' and '%' in a path as URI syntax.
std::string FileUri(const std::filesystem::path& path)
{
    std::string uri = "file:";
    for (unsigned char c : path.string()) {
        if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') {
            uri.push_back(static_cast<char>(c));
        } else {
            static const char* kHex = "0123456789ABCDEF";
            uri += {'%', kHex[c >> 4], kHex[c & 15]};
        }
    }
    return uri + "?mode=ro";
}

// A user's registry is nobody else's business: the file is made 0600 before SQLite opens it, and
// SQLite gives its -wal and -shm files the database file's mode. Files of an older version,
// made 0644, are tightened.
void KeepPrivate(const std::filesystem::path& path)
{
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        struct stat file {};
        if (fstat(fd, &file) == 0 && file.st_uid == geteuid() && (file.st_mode & 077) != 0)
            fchmod(fd, 0600);
        close(fd);
    }
    for (const char* companion : {"-wal", "-shm"}) {
        struct stat file {};
        const std::string name = path.string() + companion;
        if (lstat(name.c_str(), &file) == 0 && S_ISREG(file.st_mode) && file.st_uid == geteuid() &&
            (file.st_mode & 077) != 0)
            chmod(name.c_str(), 0600);
    }
}

} // namespace

RegistryStore& RegistryStore::Instance()
{
    static RegistryStore store;
    return store;
}

LSTATUS RegistryStore::OpenLocked()
{
    const auto path = RegistryPath();
    const long process = static_cast<long>(getpid());
    if (db_ && path == openPath_ && process == openedByProcess_)
        return ERROR_SUCCESS;
    if (db_ && process == openedByProcess_)
        sqlite3_close_v2(db_);
    // A connection inherited through fork() must not be used or closed by the child; it is left.
    db_ = nullptr;

    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (!UsingMachineRegistry())
        KeepPrivate(path);
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_URI, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // The machine layer keeps a rollback journal: a WAL file could not be read by users who may
    // not write beside it.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, UsingMachineRegistry() ? "PRAGMA journal_mode=DELETE" : "PRAGMA journal_mode=WAL",
                          nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        WriteTransaction transaction(db);
        rc = transaction.status();
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            rc = transaction.Commit();
    }
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return FromSqlite(rc, ERROR_CANTOPEN);
    }
    db_ = db;
    openPath_ = path;
    openedByProcess_ = process;
    machineAttached_ = false;
    if (!UsingMachineRegistry())
        AttachMachineLayerLocked();
    return ERROR_SUCCESS;
}

void RegistryStore::AttachMachineLayerLocked()
{
    const auto machine = MachineRegistryPath();
    std::error_code ec;
    if (!machine || !std::filesystem::exists(*machine, ec) || std::filesystem::equivalent(*machine, openPath_, ec))
        return;
    const int rc = Statement(db_, "ATTACH DATABASE ?1 AS machine").Bind(1, FileUri(*machine)).Run();
    if (rc != SQLITE_OK) {
        LogWarning("Registry: the machine layer " + machine->string() + " cannot be read (" + sqlite3_errmsg(db_) +
                   "); only your own registrations count");
        return;
    }
    // A file that is no registry (or an older one) would fail every read.
    if (Statement(db_, "SELECT count(*) FROM machine.keys").Step() == SQLITE_ROW &&
        Statement(db_, "SELECT count(*) FROM machine.vals").Step() == SQLITE_ROW) {
        machineAttached_ = true;
        return;
    }
    LogWarning("Registry: " + machine->string() + " is no registry; only your own registrations count");
    sqlite3_exec(db_, "DETACH DATABASE machine", nullptr, nullptr, nullptr);
}

LSTATUS RegistryStore::ExistsLocked(const std::string& path, std::string* canonical, bool inMachine)
{
    if (IsRootPath(path)) {
        if (canonical)
            *canonical = path;
        return ERROR_SUCCESS;
    }
    Statement query(db_, inMachine && machineAttached_
                             ? "SELECT path FROM (SELECT path, 0 AS layer FROM keys WHERE path = ?1 UNION ALL "
                               "SELECT path, 1 FROM machine.keys WHERE path = ?1) ORDER BY layer LIMIT 1"
                             : "SELECT path FROM keys WHERE path = ?1");
    const int rc = query.Bind(1, path).Step();
    if (rc == SQLITE_ROW) {
        if (canonical)
            *canonical = query.Text(0);
        return ERROR_SUCCESS;
    }
    return rc == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : FromSqlite(rc, ERROR_CANTREAD);
}

LSTATUS RegistryStore::MachineOnly(const std::string& path, LSTATUS userStatus)
{
    if (userStatus == ERROR_FILE_NOT_FOUND && machineAttached_ && ExistsLocked(path, nullptr, true) == ERROR_SUCCESS)
        return ERROR_ACCESS_DENIED; // users cannot change the machine layer
    return userStatus;
}

LSTATUS RegistryStore::FindKey(const std::string& path, std::string& canonical)
{
    std::lock_guard lock(mutex_);
    if (LSTATUS status = OpenLocked(); status != ERROR_SUCCESS)
        return status;
    return ExistsLocked(path, &canonical, true);
}

LSTATUS RegistryStore::CreateKey(const std::string& path, std::string& canonical, bool& created)
{
    std::lock_guard lock(mutex_);
    if (LSTATUS status = OpenLocked(); status != ERROR_SUCCESS)
        return status;
    return CreateKeyLocked(path, canonical, created);
}

LSTATUS RegistryStore::CreateKeyLocked(const std::string& path, std::string& canonical, bool& created)
{
    created = false;
    WriteTransaction transaction(db_);
    if (transaction.status() != SQLITE_OK)
        return FromSqlite(transaction.status(), ERROR_CANTWRITE);

    // Walk down from the root, keeping the stored spelling of every key that exists.
    std::size_t end = path.find('\\');
    std::string current = path.substr(0, end);
    while (end != std::string::npos) {
        const std::size_t next = path.find('\\', end + 1);
        const std::string leaf = path.substr(end + 1, next == std::string::npos ? std::string::npos : next - end - 1);
        const std::string candidate = current + "\\" + leaf;
        std::string stored;
        const LSTATUS status = ExistsLocked(candidate, &stored);
        if (status == ERROR_SUCCESS) {
            current = stored;
        } else if (status == ERROR_FILE_NOT_FOUND) {
            Statement insert(db_, "INSERT INTO keys(path, parent, name) VALUES(?1, ?2, ?3)");
            if (int rc = insert.Bind(1, candidate).Bind(2, current).Bind(3, leaf).Run(); rc != SQLITE_OK)
                return FromSqlite(rc, ERROR_CANTWRITE);
            current = candidate;
            created = true;
        } else {
            return status;
        }
        end = next;
    }
    if (int rc = transaction.Commit(); rc != SQLITE_OK)
        return FromSqlite(rc, ERROR_CANTWRITE);
    canonical = current;
    return ERROR_SUCCESS;
}

LSTATUS RegistryStore::DeleteKey(const std::string& path)
{
    std::lock_guard lock(mutex_);
    if (LSTATUS status = OpenLocked(); status != ERROR_SUCCESS)
        return status;
    if (IsRootPath(path))
        return ERROR_ACCESS_DENIED;
    WriteTransaction transaction(db_);
    if (transaction.status() != SQLITE_OK)
        return FromSqlite(transaction.status(), ERROR_CANTWRITE);
    if (LSTATUS status = ExistsLocked(path, nullptr); status != ERROR_SUCCESS)
        return MachineOnly(path, status);
    Statement children(db_, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    const int rc = children.Bind(1, path).Step();
    if (rc == SQLITE_ROW)
        return ERROR_ACCESS_DENIED; // a key with subkeys is deleted with RegDeleteTree
    if (rc != SQLITE_DONE)
        return FromSqlite(rc, ERROR_CANTREAD);
    if (int del = Statement(db_, "DELETE FROM vals WHERE key = ?1").Bind(1, path).Run(); del != SQLITE_OK)
        return FromSqlite(del, ERROR_CANTWRITE);
    if (int del = Statement(db_, "DELETE FROM keys WHERE path = ?1").Bind(1, path).Run(); del != SQLITE_OK)
        return FromSqlite(del, ERROR_CANTWRITE);
    return FromSqlite(transaction.Commit(), ERROR_CANTWRITE);
}

LSTATUS RegistryStore::DeleteTree(const std::string& path, bool includeSelf)
{
    std::lock_guard lock(mutex_);
    if (LSTATUS status = OpenLocked(); status != ERROR_SUCCESS)
        return status;
    if (includeSelf && IsRootPath(path))
        return ERROR_ACCESS_DENIED;
    WriteTransaction transaction(db_);
    if (transaction.status() != SQLITE_OK)
        return FromSqlite(transaction.status(), ERROR_CANTWRITE);
    if (LSTATUS status = ExistsLocked(path, nullptr); status != ERROR_SUCCESS)
        return MachineOnly(path, status);
    const std::string begin = SubtreeBegin(path);
    const std::string end = SubtreeEnd(path);
    const char* deleteKeys = includeSelf ? "DELETE FROM keys WHERE path = ?1 OR (path >= ?2 AND path < ?3)"
                                         : "DELETE FROM keys WHERE path >= ?2 AND path < ?3";
    // Emptying a key (includeSelf false) removes its values as well, as on Windows.
    const char* deleteValues = "DELETE FROM vals WHERE key = ?1 OR (key >= ?2 AND key < ?3)";
    for (const char* sql : {deleteKeys, deleteValues}) {
        if (int rc = Statement(db_, sql).Bind(1, path).Bind(2, begin).Bind(3, end).Run(); rc != SQLITE_OK)
            return FromSqlite(rc, ERROR_CANTWRITE);
    }
    return FromSqlite(transaction.Commit(), ERROR_CANTWRITE);
}

LSTATUS RegistryStore::SetValue(const std::string& path, const std::string& name, DWORD type, const BYTE* data,
                                DWORD size)
{
    std::lock_guard lock(mutex_);
    if (LSTATUS status = OpenLocked(); status != ERROR_SUCCESS)
        return status;
    // A key of the machine layer only: the user's value goes into a key of the user's own.
    if (machineAttached_ && ExistsLocked(path, nullptr) == ERROR_FILE_NOT_FOUND &&
        ExistsLocked(path, nullptr, true) == ERROR_SUCCESS) {
        std::string canonical;
        bool created = false;
        if (LSTATUS status = CreateKeyLocked(path, canonical, created); status != ERROR_SUCCESS)
            return status;
    }
    WriteTransaction transaction(db_);
    if (transaction.status() != SQLITE_OK)
        return FromSqlite(transaction.status(), ERROR_CANTWRITE);
    if (LSTATUS status = ExistsLocked(path, nullptr); status != ERROR_SUCCESS)
        return status == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : status;
    // Keep the spelling of an existing value name, as Windows does.
    Statement update(db_, "UPDATE vals SET type = ?3, data = ?4 WHERE key = ?1 AND name = ?2");
    int rc = update.Bind(1, path).Bind(2, name).Bind(3, static_cast<long long>(type)).BindBlob(4, data, size).Run();
    if (rc == SQLITE_OK && sqlite3_changes(db_) == 0) {
        Statement insert(db_, "INSERT INTO vals(key, name, type, data) VALUES(?1, ?2, ?3, ?4)");
        rc = insert.Bind(1, path).Bind(2, name).Bind(3, static_cast<long long>(type)).BindBlob(4, data, size).Run();
    }
    if (rc != SQLITE_OK)
        return FromSqlite(rc, ERROR_CANTWRITE);
    return FromSqlite(transaction.Commit(), ERROR_CANTWRITE);
}

LSTATUS RegistryStore::QueryValue(const std::string& path, const std::string& name, RegistryValue& value)
{
    std::lock_guard lock(mutex_);
    if (LSTATUS status = OpenLocked(); status != ERROR_SUCCESS)
        return status;
    Statement query(db_,
                    machineAttached_
                        ? "SELECT name, type, data FROM (SELECT name, type, data, 0 AS layer FROM vals WHERE key = ?1 "
                          "AND name = ?2 UNION ALL SELECT name, type, data, 1 FROM machine.vals WHERE key = ?1 AND "
                          "name = ?2) ORDER BY layer LIMIT 1"
                        : "SELECT name, type, data FROM vals WHERE key = ?1 AND name = ?2");
    const int rc = query.Bind(1, path).Bind(2, name).Step();
    if (rc == SQLITE_DONE)
        return ExistsLocked(path, nullptr, true) == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    if (rc != SQLITE_ROW)
        return FromSqlite(rc, ERROR_CANTREAD);
    ReadValueRow(query, value);
    return ERROR_SUCCESS;
}

LSTATUS RegistryStore::DeleteValue(const std::string& path, const std::string& name)
{
    std::lock_guard lock(mutex_);
    if (LSTATUS status = OpenLocked(); status != ERROR_SUCCESS)
        return status;
    WriteTransaction transaction(db_);
    if (transaction.status() != SQLITE_OK)
        return FromSqlite(transaction.status(), ERROR_CANTWRITE);
    if (int rc = Statement(db_, "DELETE FROM vals WHERE key = ?1 AND name = ?2").Bind(1, path).Bind(2, name).Run();
        rc != SQLITE_OK)
        return FromSqlite(rc, ERROR_CANTWRITE);
    if (sqlite3_changes(db_) == 0) {
        Statement machine(db_, "SELECT 1 FROM machine.vals WHERE key = ?1 AND name = ?2");
        const bool inMachine = machineAttached_ && machine.Bind(1, path).Bind(2, name).Step() == SQLITE_ROW;
        return inMachine ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    }
    return FromSqlite(transaction.Commit(), ERROR_CANTWRITE);
}

LSTATUS RegistryStore::SubKeyAt(const std::string& path, DWORD index, std::string& name)
{
    std::lock_guard lock(mutex_);
    if (LSTATUS status = OpenLocked(); status != ERROR_SUCCESS)
        return status;
    Statement query(db_, machineAttached_
                             ? "SELECT name FROM keys WHERE parent = ?1 UNION SELECT name FROM machine.keys "
                               "WHERE parent = ?1 ORDER BY name LIMIT 1 OFFSET ?2"
                             : "SELECT name FROM keys WHERE parent = ?1 ORDER BY name LIMIT 1 OFFSET ?2");
    const int rc = query.Bind(1, path).Bind(2, static_cast<long long>(index)).Step();
    if (rc == SQLITE_DONE)
        return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW)
        return FromSqlite(rc, ERROR_CANTREAD);
    name = query.Text(0);
    return ERROR_SUCCESS;
}

LSTATUS RegistryStore::ValueAt(const std::string& path, DWORD index, RegistryValue& value)
{
    std::lock_guard lock(mutex_);
    if (LSTATUS status = OpenLocked(); status != ERROR_SUCCESS)
        return status;
    // The user's values, then the machine layer's that the user has no value of the same name for.
    Statement query(db_,
                    machineAttached_
                        ? "SELECT name, type, data FROM (SELECT name, type, data, 0 AS layer, rowid AS n FROM vals "
                          "WHERE key = ?1 UNION ALL SELECT name, type, data, 1, rowid FROM machine.vals AS m WHERE "
                          "key = ?1 AND NOT EXISTS (SELECT 1 FROM vals AS v WHERE v.key = ?1 AND v.name = m.name)) "
                          "ORDER BY layer, n LIMIT 1 OFFSET ?2"
                        : "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY rowid LIMIT 1 OFFSET ?2");
    const int rc = query.Bind(1, path).Bind(2, static_cast<long long>(index)).Step();
    if (rc == SQLITE_DONE)
        return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW)
        return FromSqlite(rc, ERROR_CANTREAD);
    ReadValueRow(query, value);
    return ERROR_SUCCESS;
}

} // namespace pixtera
