#include "IdempotencyStore.h"

#include <openssl/evp.h>
#include <sqlite3.h>

#include <cstdio>

namespace brontald {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS requests ("
    " key TEXT PRIMARY KEY,"
    " digest TEXT NOT NULL,"
    " printer TEXT NOT NULL,"
    " operation TEXT NOT NULL,"
    " state TEXT NOT NULL CHECK (state IN ('running', 'unknown', 'done')),"
    " baseline TEXT,"
    " partial TEXT,"
    " status INTEGER,"
    " body TEXT,"
    " document INTEGER,"
    " total TEXT,"
    " created TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')),"
    " updated TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')));"
    "CREATE INDEX IF NOT EXISTS requests_by_printer ON requests (printer, state);";

// A prepared statement that finalises itself.
class CStatement {
  public:
    CStatement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK) {
            m_statement = nullptr;
        }
    }
    ~CStatement() { sqlite3_finalize(m_statement); }
    CStatement(const CStatement&) = delete;
    CStatement& operator=(const CStatement&) = delete;

    bool Ok() const { return m_statement != nullptr; }
    CStatement& Text(int index, const std::string& text) {
        sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    CStatement& Integer(int index, long long value) {
        sqlite3_bind_int64(m_statement, index, value);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return m_statement ? sqlite3_step(m_statement) : SQLITE_ERROR; }
    std::string Column(int index) const {
        const unsigned char* text = sqlite3_column_text(m_statement, index);
        const int size = sqlite3_column_bytes(m_statement, index);
        return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(size))
                    : std::string();
    }
    long long ColumnInteger(int index) const { return sqlite3_column_int64(m_statement, index); }

  private:
    sqlite3_stmt* m_statement = nullptr;
};

}  // namespace

std::string Sha256Hex(const std::string& bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE] = {};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
        return std::string();
    }
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3] = {};
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

CIdempotencyStore::~CIdempotencyStore() {
    sqlite3_close(m_db);
}

bool CIdempotencyStore::Exec(const char* sql, std::string* error) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        if (error) {
            *error = message ? message : "SQLite error";
        }
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool CIdempotencyStore::Open(const std::string& path, std::string* error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        *error = path + ": " + (m_db ? sqlite3_errmsg(m_db) : "cannot be opened");
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    // An answer counts as stored only once it is on the disk.
    if (!Exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL;", error) ||
        !Exec(kSchema, error) ||
        !Exec("UPDATE requests SET state = 'unknown', updated = strftime('%Y-%m-%dT%H:%M:%fZ', "
              "'now') WHERE state = 'running';",
              error)) {
        *error = path + ": " + *error;
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    return true;
}

KeyState CIdempotencyStore::Begin(const std::string& key, const std::string& digest,
                                  const std::string& printer, const std::string& operation,
                                  StoredAnswer* stored) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_db) {
        return KeyState::Failed;
    }
    CStatement insert(m_db,
                      "INSERT INTO requests (key, digest, printer, operation, state) "
                      "VALUES (?1, ?2, ?3, ?4, 'running') ON CONFLICT (key) DO NOTHING;");
    insert.Text(1, key).Text(2, digest).Text(3, printer).Text(4, operation);
    // A running row lost with the machine costs nothing: nothing was sent for it yet, and the
    // baseline's write, which must be on the disk before the printer is asked, takes it along.
    Exec("PRAGMA synchronous = NORMAL;", nullptr);
    const int inserted = insert.Step();
    Exec("PRAGMA synchronous = FULL;", nullptr);
    if (inserted != SQLITE_DONE) {
        return KeyState::Failed;
    }
    if (sqlite3_changes(m_db) == 1) {
        return KeyState::Started;
    }
    CStatement known(m_db, "SELECT digest, state, status, body FROM requests WHERE key = ?1;");
    known.Text(1, key);
    if (known.Step() != SQLITE_ROW) {
        return KeyState::Failed;
    }
    if (known.Column(0) != digest) {
        return KeyState::Mismatch;
    }
    const std::string state = known.Column(1);
    if (state == "running") {
        return KeyState::Running;
    }
    if (state == "unknown") {
        return KeyState::Pending;
    }
    stored->status = static_cast<int>(known.ColumnInteger(2));
    stored->body = known.Column(3);
    return KeyState::Replay;
}

bool CIdempotencyStore::SetBaseline(const std::string& key, const std::string& baseline) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CStatement update(m_db, "UPDATE requests SET baseline = ?2 WHERE key = ?1;");
    update.Text(1, key).Text(2, baseline);
    return update.Step() == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

bool CIdempotencyStore::MarkUnknown(const std::string& key, const std::string& partial) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CStatement update(m_db,
                      "UPDATE requests SET state = 'unknown', partial = ?2, "
                      "updated = strftime('%Y-%m-%dT%H:%M:%fZ', 'now') WHERE key = ?1;");
    update.Text(1, key).Text(2, partial);
    return update.Step() == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

bool CIdempotencyStore::Finish(const std::string& key, int status, const std::string& body,
                               uint32_t document, const std::string& total) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CStatement update(m_db,
                      "UPDATE requests SET state = 'done', status = ?2, body = ?3, "
                      "document = NULLIF(?4, 0), total = NULLIF(?5, ''), "
                      "updated = strftime('%Y-%m-%dT%H:%M:%fZ', 'now') WHERE key = ?1;");
    update.Text(1, key).Integer(2, status).Text(3, body).Integer(4, document).Text(5, total);
    return update.Step() == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

bool CIdempotencyStore::Forget(const std::string& key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CStatement remove(m_db, "DELETE FROM requests WHERE key = ?1 AND state = 'running';");
    remove.Text(1, key);
    return remove.Step() == SQLITE_DONE && sqlite3_changes(m_db) == 1;
}

std::vector<StoredRequest> CIdempotencyStore::Unknown(const std::string& printer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<StoredRequest> rows;
    CStatement select(m_db,
                      "SELECT key, operation, baseline, partial FROM requests "
                      "WHERE printer = ?1 AND state = 'unknown' ORDER BY created, rowid;");
    select.Text(1, printer);
    while (select.Step() == SQLITE_ROW) {
        rows.push_back(
            {select.Column(0), printer, select.Column(1), select.Column(2), select.Column(3)});
    }
    return rows;
}

bool CIdempotencyStore::Answer(const std::string& key, StoredAnswer* stored) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CStatement select(m_db, "SELECT status, body FROM requests WHERE key = ?1 AND state = 'done';");
    select.Text(1, key);
    if (select.Step() != SQLITE_ROW) {
        return false;
    }
    stored->status = static_cast<int>(select.ColumnInteger(0));
    stored->body = select.Column(1);
    return true;
}

std::vector<DocumentRecord> CIdempotencyStore::LastDocuments(const std::string& printer,
                                                             unsigned limit) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<DocumentRecord> documents;
    CStatement select(m_db,
                      "SELECT document, operation, total, updated FROM requests "
                      "WHERE printer = ?1 AND state = 'done' AND document IS NOT NULL "
                      "ORDER BY updated DESC, rowid DESC LIMIT ?2;");
    select.Text(1, printer).Integer(2, limit);
    while (select.Step() == SQLITE_ROW) {
        documents.push_back({static_cast<uint32_t>(select.ColumnInteger(0)), select.Column(1),
                             select.Column(2), select.Column(3)});
    }
    return documents;
}

int CIdempotencyStore::Purge(unsigned days) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CStatement remove(m_db,
                      "DELETE FROM requests WHERE state = 'done' AND "
                      "updated < strftime('%Y-%m-%dT%H:%M:%fZ', 'now', ?1);");
    remove.Text(1, "-" + std::to_string(days) + " days");
    return remove.Step() == SQLITE_DONE ? sqlite3_changes(m_db) : -1;
}

}  // namespace brontald
