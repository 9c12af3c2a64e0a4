// The record of state-changing requests, in SQLite: each request's key (the client's
// Idempotency-Key, or one of the service's own), the digest of what it asked, where it stands and
// the answer it got. An answer is stored before it is sent, so that a request repeated under its
// key gets the same answer without the printer being asked again, also after a restart.
//
// A row is "running" while its work runs, "unknown" when the printer could not be reached to
// learn whether its document was committed (the baseline says what the printer showed before),
// and "done" with its answer.
//
// Thread-safety: every member may be called from any thread (one connection behind a mutex).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace brontald {

// SHA-256 of `bytes` as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::string& bytes);

enum class KeyState {
    Started,   // new: the caller runs the request and finishes the row
    Replay,    // done before: `stored` holds the answer
    Mismatch,  // the key was used for another request
    Running,   // the request with this key is still running
    Pending,   // its outcome is not known yet: the printer must be asked first
    Failed,    // the store cannot be used; nothing may be sent to the printer
};

struct StoredAnswer {
    int status = 0;
    std::string body;
};

struct StoredRequest {
    std::string key;
    std::string printer;
    std::string operation;
    std::string baseline;  // JSON, empty before anything was sent
    std::string partial;   // JSON: what was known when the outcome became unknown
};

struct DocumentRecord {
    uint32_t document = 0;
    std::string operation;
    std::string total;
    std::string time;  // UTC, ISO 8601
};

class CIdempotencyStore {
  public:
    CIdempotencyStore() = default;
    ~CIdempotencyStore();
    CIdempotencyStore(const CIdempotencyStore&) = delete;
    CIdempotencyStore& operator=(const CIdempotencyStore&) = delete;

    // Opens (or creates) the database. Rows left running by a service that stopped in the
    // middle become unknown, to be decided from the printer. False with `error`.
    bool Open(const std::string& path, std::string* error);

    KeyState Begin(const std::string& key, const std::string& digest, const std::string& printer,
                   const std::string& operation, StoredAnswer* stored);
    // What the printer showed before the document was begun.
    bool SetBaseline(const std::string& key, const std::string& baseline);
    bool MarkUnknown(const std::string& key, const std::string& partial);
    // The answer; `document` non-zero for a committed document, with its total.
    bool Finish(const std::string& key, int status, const std::string& body, uint32_t document = 0,
                const std::string& total = std::string());
    // A request that was never run (refused before the printer was asked): the key is free
    // again.
    bool Forget(const std::string& key);

    // The unknown rows of a printer, oldest first.
    std::vector<StoredRequest> Unknown(const std::string& printer);
    bool Answer(const std::string& key, StoredAnswer* stored);
    // The last committed documents of a printer, newest first.
    std::vector<DocumentRecord> LastDocuments(const std::string& printer, unsigned limit);
    // Drops answered rows older than `days`; the number dropped.
    int Purge(unsigned days);

  private:
    bool Exec(const char* sql, std::string* error);

    std::mutex m_mutex;
    sqlite3* m_db = nullptr;
};

}  // namespace brontald
