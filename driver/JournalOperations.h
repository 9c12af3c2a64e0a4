// Internal operations of the electronic journal methods, shared with the Z report: reading a
// byte range of a session's journal (on the calling thread or behind the progress window), the
// download-and-validate handshake, and saving journal bytes to a file.
//
// Thread-safety: called on the object's apartment thread; a threaded read hands the command
// layer to one worker while the caller waits in the progress window.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>

#include "Brontal.h"

// Journal bytes as read: `count` bytes followed by a zero byte, so that the bytes also read as
// text up to the first zero byte.
class CJournalBuffer {
  public:
    CJournalBuffer() = default;
    CJournalBuffer(const CJournalBuffer&) = delete;
    CJournalBuffer& operator=(const CJournalBuffer&) = delete;

    // A zero-filled buffer for `count` bytes and the terminator; false when it cannot be held.
    bool Allocate(DWORD count);
    LPSTR Data() const { return m_data.get(); }
    const BYTE* Bytes() const { return reinterpret_cast<const BYTE*>(m_data.get()); }
    DWORD Count() const { return m_count; }
    // Count() + 1.
    DWORD Capacity() const { return m_count + 1; }

  private:
    std::unique_ptr<char[]> m_data;
    DWORD m_count = 0;
};

// Largest byte count one read can hold with its terminator.
constexpr DWORD kJournalReadLimit = 0xFFFFFFFEU;

// Progress range step of a threaded journal read: one journal block.
constexpr DWORD kJournalProgressStep = 512;

// Reads `count` bytes of journal `journal` from `offset` into a fresh `buffer`: on the calling
// thread, or with `withProgress` behind the progress window. -9002 for a range that wraps or a
// buffer that cannot be held (nothing is sent); else the read's result.
int ReadJournalBytes(CBrontal& layer, DWORD journal, DWORD offset, DWORD count, bool withProgress,
                     CJournalBuffer& buffer);

// The threaded read of `count` bytes of `session` from `offset` into `buffer` (capacity
// count + 1) behind the progress window: the worker's result, or 0 when the window ended well.
int RunReadElectronicJournal(CBrontal& layer, DWORD session, LPSTR buffer, DWORD count,
                             DWORD offset);

// The day's journal: "jz" for its extent, the bytes read, saved under the journal's number when
// `savePath` is not empty, and "jv" with their CRC-32. The first failing command's result, else
// that of "jv".
int DownloadAndValidateJournal(CBrontal& layer, bool withProgress, LPCSTR savePath);

// Writes `count` bytes to `path`, or to "%08u.txt" of `identifier` inside `path` when it names
// an existing folder. The file is written under a temporary name and renamed into place, so that
// it is either whole or not there (an existing file is replaced only by a whole one). TRUE when
// the file was written; FALSE for an empty path, one that does not fit, or a failed write.
BOOL SaveElectronicJournal(DWORD identifier, LPCSTR path, const BYTE* bytes, DWORD count);

// Capacity of a journal save path (at most 2079 bytes and the terminator).
constexpr DWORD kJournalPathCapacity = 2080;
