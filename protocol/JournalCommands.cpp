// Electronic journal commands: extent, block reads, validation by CRC-32, printing.
#include <cstring>

#include "Brontal.h"
#include "FiscalCommand.h"

namespace {

// A "jv" checksum, a "jz" journal number: short requests.
constexpr DWORD kShortRequestCapacity = 16;
// Room for any reply of the extent and info requests.
constexpr DWORD kJournalReplyCapacity = kReplyTextCapacity;
// The "jg" request and the block that replaces it: 512 bytes of journal text and the separators.
constexpr DWORD kBlockFieldCapacity = kReplyTextCapacity;

// The printer hands out at most this much of its journal per "jg".
constexpr DWORD kJournalBlockMax = 512;

// A decimal field that is no negative number.
int NextCount(LPCSTR* position, char separator, DWORD* value) {
    LONG number = 0;
    const int length = CBrontal::NextLong(position, separator, &number);
    if (length <= 0 || number < 0) {
        return 0;
    }
    *value = static_cast<DWORD>(number);
    return length;
}

// "jv" with a checksum; a CRC of 0 is a checksum too and goes out as "0".
int SendJournalCrc(CBrontal& layer, DWORD crc) {
    char request[kShortRequestCapacity];
    if (CBrontal::AppendUnsignedLong(request, sizeof request, 0, crc, "%lX") == 0) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(layer, "jv", request);
}

}  // namespace

int CBrontal::PrintJournal() {
    return fiscal::Run(*this, "jp", ExtenderSettings.printEJ.load() == 0 ? "PRINT" : "");
}

int CBrontal::ValidateJournalData(const BYTE* data, DWORD count) {
    if (!data && count > 0) {
        return kBrontalBadArguments;
    }
    return SendJournalCrc(*this, Crc32(data, count));
}

int CBrontal::ForceValidateJournal(DWORD crc) {
    if (crc != 0) {
        return SendJournalCrc(*this, crc);
    }
    return fiscal::Run(*this, "jv", "VALID");
}

int CBrontal::ReadJournalExtent(DWORD* journal, DWORD* offset, DWORD* length) {
    char request[kShortRequestCapacity] = "";
    const DWORD wanted = journal ? *journal : 0;
    if (wanted != 0) {
        AppendUnsigned(request, sizeof request, 0, wanted);
    }
    char reply[kJournalReplyCapacity];
    const int result = fiscal::Run(*this, "jz", request, reply, sizeof reply);
    if (result != 0) {
        return result;
    }
    // Half an extent would have the journal read from the wrong place or for the wrong length.
    DWORD number = 0;
    ULONG start = 0;
    ULONG size = 0;
    LPCSTR position = reply;
    if (NextCount(&position, kFieldSeparator, &number) <= 0 ||
        NextHexLong(&position, kFieldSeparator, &start) <= 0 ||
        NextHexLong(&position, kFieldSeparator, &size) <= 0) {
        return kBrontalBadReply;
    }
    if (journal) {
        *journal = number;
    }
    if (offset) {
        *offset = start;
    }
    if (length) {
        *length = size;
    }
    return 0;
}

int CBrontal::ReadJournalBlock(DWORD journal, DWORD offset, DWORD requested, LPSTR buffer,
                               DWORD capacity, DWORD* length) {
    if (!buffer || capacity == 0 || !length || requested == 0 || requested > kJournalBlockMax) {
        return kBrontalBadArguments;
    }
    char fields[kBlockFieldCapacity] = {};
    AppendUnsigned(fields, sizeof fields, 0, journal);
    AppendUnsignedLong(fields, sizeof fields, kFieldSeparator, offset, "%lX");
    AppendUnsignedLong(fields, sizeof fields, kFieldSeparator, requested, "%lX");
    // The echo comes back here, whole: the block's place in the reply is counted from it.
    char command[kReplyTextCapacity] = "jg";
    const int result = Execute(command, sizeof command, fields, sizeof fields, 1);
    if (result <= 0) {
        return result;
    }
    if (m_deviceError != 0) {
        return DeviceResult();
    }
    // Journal text may hold zero bytes, so the block's size comes from the reply's, not from
    // its terminator: echo FS error(2) FS words(8) FS data.
    const size_t header = std::strlen(command) + 1 + 2 + 1 + 8;
    const size_t payload = static_cast<size_t>(result);
    const size_t dataLength = payload > header + 1 ? payload - header - 1 : 0;
    if (dataLength >= sizeof fields || fields[dataLength] != '\0') {
        return kBrontalBadReply;
    }
    const void* separator = std::memchr(fields, kFieldSeparator, dataLength);
    const size_t got =
        separator ? static_cast<size_t>(static_cast<LPCSTR>(separator) - fields) : dataLength;
    if (got == 0) {
        // An empty block counts as the bytes asked for, so that a read always moves on.
        *length = requested;
        return 0;
    }
    if (got >= capacity) {
        // More than the room left: the journal would be read past its end into what follows.
        std::memcpy(buffer, fields, capacity - 1);
        buffer[capacity - 1] = '\0';
        return kBrontalBadReply;
    }
    std::memcpy(buffer, fields, got);
    buffer[got] = '\0';
    *length = static_cast<DWORD>(got);
    return 0;
}

int CBrontal::ReadJournalInfo(DWORD* start, DWORD* end) {
    if (start) {
        *start = 0;
    }
    if (end) {
        *end = 0;
    }
    char reply[kJournalReplyCapacity];
    const int result = fiscal::Run(*this, "jb", "", reply, sizeof reply);
    if (result != 0) {
        return result;
    }
    DWORD first = 0;
    DWORD last = 0;
    LPCSTR position = reply;
    NextCount(&position, kFieldSeparator, &first);
    NextCount(&position, kFieldSeparator, &last);
    if (start) {
        *start = first;
    }
    if (end) {
        *end = last;
    }
    return 0;
}

int CBrontal::ReadJournal(DWORD journal, DWORD offset, LPSTR buffer, DWORD capacity, DWORD length,
                          ProgressCallback progress, LPVOID context) {
    // The bytes and the terminator behind them must fit, and the offsets must not wrap.
    if (!buffer || capacity == 0 || length > capacity - 1 || offset > 0xFFFFFFFFU - length) {
        return kBrontalBadArguments;
    }
    buffer[length] = '\0';
    DWORD done = 0;
    DWORD remaining = length;
    while (remaining > 0) {
        const DWORD requested = remaining < kJournalBlockMax ? remaining : kJournalBlockMax;
        DWORD got = requested;
        // Room for whatever is left and the terminator, never beyond the caller's buffer.
        const int result =
            ReadJournalBlock(journal, offset, requested, buffer + done, remaining + 1, &got);
        if (result != 0) {
            return result;
        }
        done += got;
        remaining -= got;
        offset += got;
        if (progress) {
            progress(context, nullptr, done);
        }
    }
    return 0;
}
