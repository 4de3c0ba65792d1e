// The registry over a SQLite store.
//
// Sections: store location and opening (Store), key handles, key path
// resolution, value encoding, and the Reg* operations.
//
// Schema: `keys` is the tree (each hive has a root row with parent 0 and an
// empty name); `vals` holds the values of a key. Names are kept as first
// given in `name` and compared through their case-folded form in `fold`.
#include "plat/sys/registry.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <locale.h>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "plat/sys/internal.h"
#include "plat/sys/text.h"

namespace plat {

namespace {

// ---------------------------------------------------------------------------
// Store location and opening

constexpr int kBusyTimeoutMs = 10000;
constexpr size_t kMaxKeyComponent = 255;
constexpr size_t kMaxValueName = 16383;

const char* const kSchema = "CREATE TABLE IF NOT EXISTS keys("
                            " id INTEGER PRIMARY KEY,"
                            " hive INTEGER NOT NULL,"
                            " parent INTEGER NOT NULL,"
                            " name TEXT NOT NULL,"
                            " fold TEXT NOT NULL,"
                            " UNIQUE(hive, parent, fold));"
                            "CREATE TABLE IF NOT EXISTS vals("
                            " key INTEGER NOT NULL,"
                            " name TEXT NOT NULL,"
                            " fold TEXT NOT NULL,"
                            " type INTEGER NOT NULL,"
                            " data BLOB,"
                            " PRIMARY KEY(key, fold));";

LONG ErrorFromSqlite(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return ERROR_SUCCESS;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return ERROR_REGISTRY_CORRUPT;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN:
        return ERROR_ACCESS_DENIED;
    case SQLITE_NOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    default:
        return ERROR_REGISTRY_IO_FAILED;
    }
}

std::string StorePath() {
    const char* overridden = std::getenv("PLAT_REGISTRY");
    if (overridden && overridden[0] != '\0')
        return overridden;
    if (detail::RunningAsRoot())
        return "/var/lib/plat/registry.db";
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string base;
    if (state && state[0] == '/') {
        base = state;
    } else {
        std::string home = detail::HomeFolder();
        if (home.empty())
            return std::string();
        base = home + "/.local/state";
    }
    return base + "/plat/registry.db";
}

// Marked read-only: no write permission for us, or no write bit at all
// (root ignores permission bits, but a store marked read-only stays so).
bool MarkedReadOnly(const std::string& path, const struct stat& st) {
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}
bool MarkedUnreadable(const std::string& path, const struct stat& st) {
    return (st.st_mode & 0444) == 0 || ::access(path.c_str(), R_OK) != 0;
}

// One connection for one operation. Opening per operation keeps no state
// between calls, so $PLAT_REGISTRY changes and other processes' writes are
// always seen.
class Store {
public:
    Store() = default;
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    ~Store() {
        if (m_inTransaction)
            Exec("ROLLBACK");
        if (m_db)
            sqlite3_close_v2(m_db);
    }

    // Opens for reading. ERROR_FILE_NOT_FOUND when there is no store yet
    // (callers treat that as "nothing stored").
    LONG OpenForRead() {
        std::string path = StorePath();
        if (path.empty())
            return ERROR_FILE_NOT_FOUND;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0)
            return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
        if (!S_ISREG(st.st_mode) || MarkedUnreadable(path, st))
            return ERROR_ACCESS_DENIED;
        // Read-write when allowed, so that a journal left by a crashed writer
        // can be rolled back before reading.
        int flags = MarkedReadOnly(path, st) ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
        LONG rc = Open(path, flags);
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = Begin("BEGIN");
        if (rc != ERROR_SUCCESS)
            return rc;
        int tables = 0;
        rc = CountTables(tables);
        if (rc != ERROR_SUCCESS)
            return rc;
        m_empty = tables < 2;
        return ERROR_SUCCESS;
    }

    // Opens for writing, creating the store (and its folder) when missing,
    // and starts an immediate transaction.
    LONG OpenForWrite() {
        std::string path = StorePath();
        if (path.empty())
            return ERROR_ACCESS_DENIED;
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode) || MarkedUnreadable(path, st) || MarkedReadOnly(path, st))
                return ERROR_ACCESS_DENIED;
        } else {
            if (errno != ENOENT)
                return ERROR_ACCESS_DENIED;
            size_t slash = path.find_last_of('/');
            if (slash != std::string::npos && slash > 0 &&
                !detail::CreateFolders(path.substr(0, slash),
                                       detail::RunningAsRoot() ? 0755 : 0700))
                return ERROR_ACCESS_DENIED;
        }
        LONG rc = Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = Begin("BEGIN IMMEDIATE");
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = ErrorFromSqlite(sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr));
        m_empty = false;
        return rc;
    }

    LONG Commit() {
        int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            m_inTransaction = false;
        return ErrorFromSqlite(rc);
    }

    sqlite3* Db() const { return m_db; }
    // True when the store holds no tables yet (read mode).
    bool Empty() const { return m_empty; }

private:
    LONG Open(const std::string& path, int flags) {
        int rc = sqlite3_open_v2(path.c_str(), &m_db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK)
            return ErrorFromSqlite(rc);
        sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
        sqlite3_extended_result_codes(m_db, 0);
        return ERROR_SUCCESS;
    }
    LONG Begin(const char* sql) {
        int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK)
            m_inTransaction = true;
        return ErrorFromSqlite(rc);
    }
    LONG CountTables(int& tables) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(
            m_db,
            "SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN ('keys','vals')", -1,
            &stmt, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(stmt);
            if (rc == SQLITE_ROW)
                tables = sqlite3_column_int(stmt, 0);
        }
        sqlite3_finalize(stmt);
        return ErrorFromSqlite(rc);
    }
    void Exec(const char* sql) { sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }

    sqlite3* m_db = nullptr;
    bool m_inTransaction = false;
    bool m_empty = true;
};

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_rc == SQLITE_OK; }
    int PrepareResult() const { return m_rc; }
    void Bind(int i, sqlite3_int64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void Bind(int i, const std::string& v) {
        sqlite3_bind_text(m_stmt, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
    }
    int Step() { return sqlite3_step(m_stmt); }
    sqlite3_int64 Int(int col) { return sqlite3_column_int64(m_stmt, col); }
    std::string Text(int col) {
        const void* p = sqlite3_column_blob(m_stmt, col);
        int n = sqlite3_column_bytes(m_stmt, col);
        return p ? std::string(static_cast<const char*>(p), size_t(n)) : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

// ---------------------------------------------------------------------------
// Case folding

locale_t FoldLocale() {
    static locale_t locale = [] {
        locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return l;
    }();
    return locale;
}

std::wstring FoldWide(std::wstring_view text) {
    std::wstring out(text);
    locale_t locale = FoldLocale();
    for (auto& c : out) {
        if (locale != static_cast<locale_t>(0))
            c = wchar_t(::towlower_l(wint_t(c), locale));
        else if (c >= L'A' && c <= L'Z')
            c = wchar_t(c - L'A' + L'a');
    }
    return out;
}

std::string Fold(std::wstring_view text) {
    return WideToUtf8(FoldWide(text));
}

// ---------------------------------------------------------------------------
// Key handles

struct KeyObject {
    sqlite3_int64 hive = 0;
    std::vector<std::wstring> path; // components below the hive
    REGSAM access = KEY_ALL_ACCESS;
};

struct KeyTable {
    std::mutex mutex;
    uintptr_t next = 0x1000;
    std::unordered_map<uintptr_t, KeyObject> keys;
};

KeyTable& Keys() {
    static KeyTable* table = new KeyTable; // never destroyed, see handle.cpp
    return *table;
}

bool IsPredefined(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE ||
           key == HKEY_USERS;
}

bool LookupKey(HKEY key, KeyObject& out) {
    if (IsPredefined(key)) {
        out.hive = sqlite3_int64(reinterpret_cast<uintptr_t>(key));
        out.path.clear();
        out.access = KEY_ALL_ACCESS;
        return true;
    }
    KeyTable& table = Keys();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.keys.find(reinterpret_cast<uintptr_t>(key));
    if (it == table.keys.end())
        return false;
    out = it->second;
    return true;
}

HKEY AddKey(KeyObject object) {
    KeyTable& table = Keys();
    std::lock_guard<std::mutex> lock(table.mutex);
    uintptr_t id = table.next;
    table.next += 4;
    table.keys.emplace(id, std::move(object));
    return reinterpret_cast<HKEY>(id);
}

// Splits a subkey text into components ('\' or '/' between them, empty
// components skipped). False for a component longer than Win32 allows.
bool SplitKeyPath(LPCWSTR subKey, std::vector<std::wstring>& out) {
    if (subKey == nullptr)
        return true;
    std::wstring part;
    for (const wchar_t* p = subKey;; ++p) {
        if (*p == L'\\' || *p == L'/' || *p == L'\0') {
            if (!part.empty()) {
                if (part.size() > kMaxKeyComponent)
                    return false;
                out.push_back(part);
                part.clear();
            }
            if (*p == L'\0')
                return true;
        } else {
            part += *p;
        }
    }
}

// ---------------------------------------------------------------------------
// Key path resolution

// Finds (or with `create`, makes) the row of a key. ERROR_FILE_NOT_FOUND
// when a component is missing and `create` is false.
LONG ResolveKey(Store& store, sqlite3_int64 hive, const std::vector<std::wstring>& path,
                bool create, sqlite3_int64& id) {
    if (store.Empty()) {
        if (path.empty() && !create) {
            id = 0; // the hive itself, with nothing stored
            return ERROR_SUCCESS;
        }
        return ERROR_FILE_NOT_FOUND;
    }
    sqlite3_int64 parent = 0;
    std::wstring name; // the hive root has an empty name
    for (size_t level = 0;; ++level) {
        std::string fold = Fold(name);
        {
            Statement find(store.Db(), "SELECT id FROM keys WHERE hive=? AND parent=? AND fold=?");
            if (!find.Ok())
                return ErrorFromSqlite(find.PrepareResult());
            find.Bind(1, hive);
            find.Bind(2, parent);
            find.Bind(3, fold);
            int rc = find.Step();
            if (rc == SQLITE_ROW) {
                parent = find.Int(0);
            } else if (rc != SQLITE_DONE) {
                return ErrorFromSqlite(rc);
            } else if (!create) {
                if (level == 0 && path.empty()) {
                    id = 0; // hive never written: exists, holds nothing
                    return ERROR_SUCCESS;
                }
                return ERROR_FILE_NOT_FOUND;
            } else {
                Statement insert(store.Db(),
                                 "INSERT INTO keys(hive, parent, name, fold) VALUES(?,?,?,?)");
                if (!insert.Ok())
                    return ErrorFromSqlite(insert.PrepareResult());
                insert.Bind(1, hive);
                insert.Bind(2, parent);
                insert.Bind(3, WideToUtf8(name));
                insert.Bind(4, fold);
                rc = insert.Step();
                if (rc != SQLITE_DONE)
                    return ErrorFromSqlite(rc);
                parent = sqlite3_last_insert_rowid(store.Db());
            }
        }
        if (level == path.size())
            break;
        name = path[level];
    }
    id = parent;
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------------------
// Value encoding

// The bytes RegQueryValueEx hands out for a stored value.
std::vector<BYTE> ValueBytes(DWORD type, const std::string& stored) {
    std::vector<BYTE> bytes;
    if (type == REG_DWORD) {
        bytes.resize(4);
        DWORD v = 0;
        std::memcpy(&v, stored.data(), std::min<size_t>(stored.size(), 4));
        std::memcpy(bytes.data(), &v, 4);
    } else {
        std::wstring wide = Utf8ToWide(stored);
        bytes.resize((wide.size() + 1) * sizeof(wchar_t));
        std::memcpy(bytes.data(), wide.c_str(), bytes.size());
    }
    return bytes;
}

// Copies value bytes to a caller's buffer by RegQueryValueEx's rules.
LONG CopyOut(const std::vector<BYTE>& bytes, LPBYTE data, LPDWORD size) {
    if (data == nullptr) {
        if (size)
            *size = DWORD(bytes.size());
        return ERROR_SUCCESS;
    }
    if (size == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (*size < bytes.size()) {
        *size = DWORD(bytes.size());
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, bytes.data(), bytes.size());
    *size = DWORD(bytes.size());
    return ERROR_SUCCESS;
}

LONG CheckAccess(const KeyObject& key, REGSAM needed) {
    return (key.access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

// Opens the store for reading and resolves the key of `object`;
// `missingResult` is returned when the key has gone.
LONG ReadKey(Store& store, const KeyObject& object, sqlite3_int64& id) {
    LONG rc = store.OpenForRead();
    if (rc == ERROR_FILE_NOT_FOUND) {
        if (!object.path.empty())
            return ERROR_KEY_DELETED;
        id = 0;
        return ERROR_SUCCESS;
    }
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = ResolveKey(store, object.hive, object.path, false, id);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : rc;
}

LONG OpenSubKey(HKEY key, LPCWSTR subKey, REGSAM access, bool create, PHKEY result) {
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    KeyObject object;
    if (!LookupKey(key, object))
        return ERROR_INVALID_HANDLE;
    std::vector<std::wstring> path = object.path;
    if (!SplitKeyPath(subKey, path))
        return ERROR_INVALID_PARAMETER;
    bool newPart = path.size() > object.path.size();
    Store store;
    sqlite3_int64 id = 0;
    if (create && newPart) {
        if (CheckAccess(object, KEY_CREATE_SUB_KEY) != ERROR_SUCCESS)
            return ERROR_ACCESS_DENIED;
        LONG rc = store.OpenForWrite();
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = ResolveKey(store, object.hive, object.path, false, id);
        if (rc == ERROR_FILE_NOT_FOUND)
            return ERROR_KEY_DELETED;
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = ResolveKey(store, object.hive, path, true, id);
        if (rc != ERROR_SUCCESS)
            return rc;
        rc = store.Commit();
        if (rc != ERROR_SUCCESS)
            return rc;
    } else {
        LONG rc = store.OpenForRead();
        if (rc == ERROR_FILE_NOT_FOUND && path.empty())
            rc = ERROR_SUCCESS;
        else if (rc == ERROR_SUCCESS)
            rc = ResolveKey(store, object.hive, path, false, id);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    KeyObject opened;
    opened.hive = object.hive;
    opened.path = std::move(path);
    opened.access = access & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    *result = AddKey(std::move(opened));
    return ERROR_SUCCESS;
}

} // namespace

// ---------------------------------------------------------------------------
// Operations

std::string RegistryStorePath() {
    return StorePath();
}

LSTATUS RegCreateKey(HKEY key, LPCWSTR subKey, PHKEY result) {
    return OpenSubKey(key, subKey, KEY_ALL_ACCESS, true, result);
}

LSTATUS RegOpenKey(HKEY key, LPCWSTR subKey, PHKEY result) {
    return OpenSubKey(key, subKey, KEY_ALL_ACCESS, false, result);
}

LSTATUS RegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD, REGSAM desired, PHKEY result) {
    return OpenSubKey(key, subKey, desired, false, result);
}

LSTATUS RegSetValueEx(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                      DWORD size) {
    KeyObject object;
    if (!LookupKey(key, object))
        return ERROR_INVALID_HANDLE;
    if (CheckAccess(object, KEY_SET_VALUE) != ERROR_SUCCESS)
        return ERROR_ACCESS_DENIED;
    std::wstring name = valueName ? valueName : L"";
    if (name.size() > kMaxValueName)
        return ERROR_INVALID_PARAMETER;
    if (data == nullptr && size > 0)
        return ERROR_INVALID_PARAMETER;

    std::string stored;
    if (type == REG_DWORD) {
        if (size != 4)
            return ERROR_INVALID_PARAMETER;
        stored.assign(reinterpret_cast<const char*>(data), 4);
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        size_t chars = size / sizeof(wchar_t);
        std::wstring text;
        if (chars > 0) {
            text.resize(chars);
            std::memcpy(&text[0], data, chars * sizeof(wchar_t));
        }
        size_t end = text.find(L'\0');
        if (end != std::wstring::npos)
            text.resize(end);
        stored = WideToUtf8(text);
    } else {
        return ERROR_INVALID_PARAMETER;
    }

    Store store;
    LONG rc = store.OpenForWrite();
    if (rc != ERROR_SUCCESS)
        return rc;
    sqlite3_int64 id = 0;
    rc = ResolveKey(store, object.hive, object.path, object.path.empty(), id);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_KEY_DELETED;
    if (rc != ERROR_SUCCESS)
        return rc;
    Statement upsert(store.Db(), "INSERT INTO vals(key, name, fold, type, data) VALUES(?,?,?,?,?)"
                                 " ON CONFLICT(key, fold) DO UPDATE SET"
                                 " type=excluded.type, data=excluded.data");
    if (!upsert.Ok())
        return ErrorFromSqlite(upsert.PrepareResult());
    upsert.Bind(1, id);
    upsert.Bind(2, WideToUtf8(name));
    upsert.Bind(3, Fold(name));
    upsert.Bind(4, sqlite3_int64(type));
    upsert.Bind(5, stored);
    int step = upsert.Step();
    if (step != SQLITE_DONE)
        return ErrorFromSqlite(step);
    return store.Commit();
}

LSTATUS RegQueryValueEx(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data,
                        LPDWORD size) {
    KeyObject object;
    if (!LookupKey(key, object))
        return ERROR_INVALID_HANDLE;
    if (CheckAccess(object, KEY_QUERY_VALUE) != ERROR_SUCCESS)
        return ERROR_ACCESS_DENIED;
    if (data != nullptr && size == nullptr)
        return ERROR_INVALID_PARAMETER;
    Store store;
    sqlite3_int64 id = 0;
    LONG rc = ReadKey(store, object, id);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (id == 0)
        return ERROR_FILE_NOT_FOUND;
    Statement find(store.Db(), "SELECT type, data FROM vals WHERE key=? AND fold=?");
    if (!find.Ok())
        return ErrorFromSqlite(find.PrepareResult());
    find.Bind(1, id);
    find.Bind(2, Fold(valueName ? valueName : L""));
    int step = find.Step();
    if (step == SQLITE_DONE)
        return ERROR_FILE_NOT_FOUND;
    if (step != SQLITE_ROW)
        return ErrorFromSqlite(step);
    DWORD storedType = DWORD(find.Int(0));
    if (type)
        *type = storedType;
    return CopyOut(ValueBytes(storedType, find.Text(1)), data, size);
}

LSTATUS RegDeleteValue(HKEY key, LPCWSTR valueName) {
    KeyObject object;
    if (!LookupKey(key, object))
        return ERROR_INVALID_HANDLE;
    if (CheckAccess(object, KEY_SET_VALUE) != ERROR_SUCCESS)
        return ERROR_ACCESS_DENIED;
    {
        // Nothing to delete in a store that does not exist: do not create it.
        Store probe;
        sqlite3_int64 id = 0;
        LONG rc = ReadKey(probe, object, id);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (id == 0)
            return ERROR_FILE_NOT_FOUND;
    }
    Store store;
    LONG rc = store.OpenForWrite();
    if (rc != ERROR_SUCCESS)
        return rc;
    sqlite3_int64 id = 0;
    rc = ResolveKey(store, object.hive, object.path, false, id);
    if (rc == ERROR_FILE_NOT_FOUND)
        return object.path.empty() ? rc : ERROR_KEY_DELETED;
    if (rc != ERROR_SUCCESS)
        return rc;
    Statement erase(store.Db(), "DELETE FROM vals WHERE key=? AND fold=?");
    if (!erase.Ok())
        return ErrorFromSqlite(erase.PrepareResult());
    erase.Bind(1, id);
    erase.Bind(2, Fold(valueName ? valueName : L""));
    int step = erase.Step();
    if (step != SQLITE_DONE)
        return ErrorFromSqlite(step);
    if (sqlite3_changes(store.Db()) == 0)
        return ERROR_FILE_NOT_FOUND;
    return store.Commit();
}

LSTATUS RegDeleteKey(HKEY key, LPCWSTR subKey) {
    KeyObject object;
    if (!LookupKey(key, object))
        return ERROR_INVALID_HANDLE;
    std::vector<std::wstring> path = object.path;
    if (!SplitKeyPath(subKey, path))
        return ERROR_INVALID_PARAMETER;
    if (path.size() == object.path.size())
        return ERROR_ACCESS_DENIED; // no subkey named
    {
        Store probe;
        LONG rc = probe.OpenForRead();
        if (rc != ERROR_SUCCESS)
            return rc;
        sqlite3_int64 id = 0;
        rc = ResolveKey(probe, object.hive, path, false, id);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    Store store;
    LONG rc = store.OpenForWrite();
    if (rc != ERROR_SUCCESS)
        return rc;
    sqlite3_int64 id = 0;
    rc = ResolveKey(store, object.hive, path, false, id);
    if (rc != ERROR_SUCCESS)
        return rc;
    {
        Statement children(store.Db(), "SELECT 1 FROM keys WHERE parent=? LIMIT 1");
        if (!children.Ok())
            return ErrorFromSqlite(children.PrepareResult());
        children.Bind(1, id);
        int step = children.Step();
        if (step == SQLITE_ROW)
            return ERROR_ACCESS_DENIED;
        if (step != SQLITE_DONE)
            return ErrorFromSqlite(step);
    }
    for (const char* sql : {"DELETE FROM vals WHERE key=?", "DELETE FROM keys WHERE id=?"}) {
        Statement erase(store.Db(), sql);
        if (!erase.Ok())
            return ErrorFromSqlite(erase.PrepareResult());
        erase.Bind(1, id);
        int step = erase.Step();
        if (step != SQLITE_DONE)
            return ErrorFromSqlite(step);
    }
    return store.Commit();
}

namespace {

// Copies a name into a caller's buffer of `*chars` characters.
LONG CopyName(const std::wstring& name, LPWSTR buffer, LPDWORD chars) {
    if (buffer == nullptr || chars == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *chars) {
        *chars = DWORD(name.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    *chars = DWORD(name.size());
    return ERROR_SUCCESS;
}

} // namespace

namespace {

// Enumeration: finds the row number `index` (in name order) of `sql`, which
// takes the key's id and the offset, and hands the row to `use`. Gives
// ERROR_NO_MORE_ITEMS past the last row or for a key that has no row yet.
template <class UseRow>
LONG WithEnumeratedRow(HKEY key, REGSAM access, const char* sql, DWORD index, UseRow use) {
    KeyObject object;
    if (!LookupKey(key, object))
        return ERROR_INVALID_HANDLE;
    if (CheckAccess(object, access) != ERROR_SUCCESS)
        return ERROR_ACCESS_DENIED;
    Store store;
    sqlite3_int64 id = 0;
    LONG rc = ReadKey(store, object, id);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (id == 0)
        return ERROR_NO_MORE_ITEMS;
    Statement list(store.Db(), sql);
    if (!list.Ok())
        return ErrorFromSqlite(list.PrepareResult());
    list.Bind(1, id);
    list.Bind(2, sqlite3_int64(index));
    int step = list.Step();
    if (step == SQLITE_DONE)
        return ERROR_NO_MORE_ITEMS;
    if (step != SQLITE_ROW)
        return ErrorFromSqlite(step);
    return use(list);
}

} // namespace

LSTATUS RegEnumValue(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD, LPDWORD type,
                     LPBYTE data, LPDWORD dataSize) {
    if (data != nullptr && dataSize == nullptr)
        return ERROR_INVALID_PARAMETER;
    return WithEnumeratedRow(
        key, KEY_QUERY_VALUE,
        "SELECT name, type, data FROM vals WHERE key=? ORDER BY fold LIMIT 1 OFFSET ?", index,
        [&](Statement& row) -> LONG {
            LONG rc = CopyName(Utf8ToWide(row.Text(0)), name, nameChars);
            if (rc != ERROR_SUCCESS)
                return rc;
            DWORD storedType = DWORD(row.Int(1));
            if (type)
                *type = storedType;
            return CopyOut(ValueBytes(storedType, row.Text(2)), data, dataSize);
        });
}

LSTATUS RegEnumKey(HKEY key, DWORD index, LPWSTR name, DWORD nameChars) {
    return WithEnumeratedRow(key, KEY_ENUMERATE_SUB_KEYS,
                             "SELECT name FROM keys WHERE parent=? ORDER BY fold LIMIT 1 OFFSET ?",
                             index, [&](Statement& row) -> LONG {
                                 DWORD chars = nameChars;
                                 return CopyName(Utf8ToWide(row.Text(0)), name, &chars);
                             });
}

LSTATUS RegCloseKey(HKEY key) {
    if (IsPredefined(key))
        return ERROR_SUCCESS;
    KeyTable& table = Keys();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.keys.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS
                                                              : ERROR_INVALID_HANDLE;
}

} // namespace plat
