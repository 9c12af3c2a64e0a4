// Command execution: sending a command text, parsing the reply header, retries.
#include <cstring>

#include "AsyncComX28.h"
#include "Brontal.h"
#include "FiscalCommand.h"

namespace {

// One exchange at a time in the process, so one command text and one reply text serve every
// object.
char g_commandText[kCommandTextCapacity];
char g_replyText[kReplyTextCapacity];

// Length of `text` if its terminator lies within `limit` bytes, else `limit`.
size_t BoundedLength(LPCSTR text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length] != '\0') {
        ++length;
    }
    return length;
}

// Copies `count` bytes cut to capacity - 1 and terminates; nothing without room.
void CopyCut(LPSTR to, DWORD capacity, LPCSTR from, size_t count) {
    if (!to || capacity == 0) {
        return;
    }
    if (count > capacity - 1) {
        count = capacity - 1;
    }
    std::memmove(to, from, count);
    to[count] = '\0';
}

bool ReadHexDigits(LPCSTR text, int digits, unsigned* value) {
    unsigned result = 0;
    for (int i = 0; i < digits; ++i) {
        const char c = text[i];
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else {
            return false;
        }
        result = result << 4 | digit;
    }
    *value = result;
    return true;
}

// The raw transfer's buffers.
constexpr DWORD kTransferCodeCapacity = 32;
constexpr DWORD kTransferFieldCapacity = 512;

}  // namespace

CBrontal::CBrontal() = default;

CBrontal::~CBrontal() {
    Detach();
}

bool CBrontal::OutcomeUnknown() const {
    return m_link && m_link->Unconfirmed();
}

int CBrontal::SendCommand(LPCSTR command, LPCSTR fields) {
    return Transmit(command, fields, false);
}

int CBrontal::Transmit(LPCSTR command, LPCSTR fields, bool repeat) {
    if (!command || command[0] == '\0') {
        return kBrontalBadArguments;
    }
    const size_t commandLength = BoundedLength(command, kCommandTextCapacity);
    const size_t fieldLength = fields ? BoundedLength(fields, kCommandTextCapacity) : 0;
    const size_t length = commandLength + (fieldLength > 0 ? 1 + fieldLength : 0);
    if (length >= kCommandTextCapacity) {
        return kBrontalBadArguments;
    }
    std::memcpy(g_commandText, command, commandLength);
    if (fieldLength > 0) {
        g_commandText[commandLength] = kFieldSeparator;
        std::memcpy(g_commandText + commandLength + 1, fields, fieldLength);
    }
    g_commandText[length] = '\0';

    if (!m_link) {
        return kBrontalNoLink;
    }
    if (!m_link->IsOpen()) {
        return kBrontalLinkFailed;
    }
    if (!repeat) {
        m_link->NewRequest();
    }
    // The reply must echo this code; the command never has fewer than two letters.
    const size_t codeLength =
        commandLength < kRequestCodeLength ? commandLength : kRequestCodeLength;
    std::memcpy(m_requestCode, command, codeLength);
    m_requestCode[codeLength] = '\0';
    const int written = m_link->Write(reinterpret_cast<const BYTE*>(g_commandText),
                                      static_cast<DWORD>(length), kSendBudgetMs);
    return written > 0 ? written : kBrontalLinkFailed;
}

int CBrontal::ReceiveReply(LPSTR echo, DWORD echoCapacity, LPSTR data, DWORD dataCapacity) {
    ReplyFacts facts;
    return ReceiveParsed(echo, echoCapacity, data, dataCapacity, &facts);
}

int CBrontal::ReceiveParsed(LPSTR echo, DWORD echoCapacity, LPSTR data, DWORD dataCapacity,
                            ReplyFacts* facts) {
    *facts = ReplyFacts{};
    if (!m_link) {
        return kBrontalNoLink;
    }
    if (!m_link->IsOpen()) {
        return kBrontalLinkFailed;
    }
    // One byte stays free for the terminator.
    const int got =
        m_link->Read(reinterpret_cast<BYTE*>(g_replyText), kReplyTextCapacity - 1, kReplyBudgetMs);
    facts->linkCode = got < 0 ? got : 0;
    if (got == kX28Refused || got == kX28PacketTimeout || got == kX28OutOfSequence) {
        return got;
    }
    if (got < 0) {
        return kBrontalLinkFailed;
    }
    const size_t length = static_cast<size_t>(got);
    LPCSTR reply = g_replyText;
    g_replyText[length] = '\0';

    ReplyLayout layout;
    if (!ParseReplyLayout(reply, length, &layout)) {
        return kBrontalBadReply;
    }
    // A whole reply under our character: the printer holds the character now, whichever
    // request the reply answers.
    m_link->Confirm();
    if (!EchoAnswers(reply, layout.echoLength)) {
        // The printer's cached answer to an earlier request under this character: ours was not
        // executed, and neither the words nor the data are news.
        facts->otherCommand = true;
        return kBrontalBadReply;
    }
    facts->answered = true;
    CopyCut(echo, echoCapacity, reply, layout.echoLength);
    m_deviceError = static_cast<BYTE>(layout.error);
    m_statusWord = static_cast<WORD>(layout.words >> 16);
    m_blockingWord = static_cast<WORD>(layout.words & 0xFFFF);

    if (layout.hasData) {
        const size_t dataLength = length - layout.dataAt;
        if (!data || dataCapacity <= dataLength) {
            facts->dataTooLarge = true;
            return kBrontalBadReply;
        }
        std::memcpy(data, reply + layout.dataAt, dataLength);
        data[dataLength] = '\0';
    } else if (data && dataCapacity > 0) {
        data[0] = '\0';
    }
    return got;
}

bool CBrontal::ParseReplyLayout(LPCSTR reply, size_t length, ReplyLayout* layout) {
    const void* firstSeparator = std::memchr(reply, kFieldSeparator, length);
    if (!firstSeparator) {
        return false;
    }
    const size_t echoLength = static_cast<size_t>(static_cast<LPCSTR>(firstSeparator) - reply);
    const size_t errorAt = echoLength + 1;
    unsigned error = 0;
    if (errorAt + 2 >= length || reply[errorAt + 2] != kFieldSeparator ||
        !ReadHexDigits(reply + errorAt, 2, &error)) {
        return false;
    }
    const size_t wordsAt = errorAt + 3;
    const void* wordsEnd = std::memchr(reply + wordsAt, kFieldSeparator, length - wordsAt);
    const size_t wordsLength =
        wordsEnd ? static_cast<size_t>(static_cast<LPCSTR>(wordsEnd) - (reply + wordsAt))
                 : length - wordsAt;
    unsigned words = 0;
    if (wordsLength != 8 || !ReadHexDigits(reply + wordsAt, 8, &words)) {
        return false;
    }
    layout->echoLength = echoLength;
    layout->error = error;
    layout->words = words;
    layout->hasData = wordsEnd != nullptr;
    layout->dataAt = layout->hasData ? wordsAt + wordsLength + 1 : length;
    return true;
}

bool CBrontal::EchoAnswers(LPCSTR echo, size_t echoLength) const {
    const size_t codeLength = std::strlen(m_requestCode);
    if (echoLength < codeLength) {
        return false;
    }
    char code[kRequestCodeLength + 1];
    std::memcpy(code, echo, codeLength);
    code[codeLength] = '\0';
    return SameTextNoCase(code, m_requestCode);
}

int CBrontal::Execute(LPSTR command, DWORD commandCapacity, LPSTR fields, DWORD fieldCapacity,
                      int expectReply) {
    if (!command || commandCapacity == 0) {
        return kBrontalBadArguments;
    }
    // The caller's buffers receive the reply; every attempt sends the request as it was given,
    // whatever an earlier reply or a recovery left in them.
    char request[kCommandTextCapacity];
    char requestFields[kCommandTextCapacity];
    const size_t commandLimit =
        commandCapacity < kCommandTextCapacity ? commandCapacity : kCommandTextCapacity;
    const size_t commandLength = BoundedLength(command, commandLimit);
    if (commandLength == commandLimit) {
        return kBrontalBadArguments;
    }
    std::memcpy(request, command, commandLength + 1);
    size_t fieldLength = 0;
    if (fields && fieldCapacity > 0) {
        const size_t fieldLimit =
            fieldCapacity < kCommandTextCapacity ? fieldCapacity : kCommandTextCapacity;
        fieldLength = BoundedLength(fields, fieldLimit);
        if (fieldLength == fieldLimit) {
            return kBrontalBadArguments;
        }
        std::memcpy(requestFields, fields, fieldLength);
    }
    requestFields[fieldLength] = '\0';

    const int commandIndex = CommandIndex(request);
    DWORD attempts = ExtenderSettings.cmdRetryCount.load();
    if (attempts == 0) {
        attempts = kDefaultAttempts;
    }

    char echo[kReplyTextCapacity];
    int result = kBrontalBadArguments;
    // Until a reply to it arrives, the request goes again under the same character, so that a
    // printer that did execute it answers from its cache instead of doing it twice.
    bool repeat = false;
    bool listenOnly = false;
    for (DWORD attempt = 0; attempt < attempts; ++attempt) {
        m_linked = 0;
        if (!listenOnly) {
            const int sent = Transmit(request, requestFields, repeat);
            if (sent <= 0) {
                return sent;
            }
        }
        if (!expectReply) {
            return 0;
        }
        ReplyFacts facts;
        result = ReceiveParsed(echo, sizeof echo, fields, fieldCapacity, &facts);
        m_linked = result > 0 ? 1 : 0;
        if (facts.answered) {
            CopyCut(command, commandCapacity, echo, std::strlen(echo));
            // Only the error of this very reply starts a recovery, never one left from an
            // earlier one.
            const BYTE error = m_deviceError;
            if (error == kDeviceErrorJournal) {
                result = RecoverJournalError(commandIndex);
            } else if (error >= kDeviceErrorControlUnitFirst &&
                       error <= kDeviceErrorControlUnitLast) {
                result = RecoverControlUnitError(commandIndex, error);
            }
            // Data too large for the caller would be as large again.
            if (!fiscal::IsRetryable(result) || facts.dataTooLarge) {
                return result;
            }
            // The printer refused the command and the recovery's own exchanges moved on: it
            // goes again as a request of its own.
            repeat = false;
            listenOnly = false;
            continue;
        }
        // A spoiled check byte says nothing of what the printer did: ask again.
        if (!fiscal::IsRetryable(result) && facts.linkCode != kX28BadCheckByte) {
            return result;
        }
        // After -8109 the printer has the request; its own answer may still be on the way.
        listenOnly = result == kX28OutOfSequence;
        // A reply that echoes another command came from the printer's cache: this request was
        // not executed and goes under the character that follows.
        repeat = !facts.otherCommand;
    }
    return result;
}

int CBrontal::TransferCommandLine(LPSTR line, DWORD capacity) {
    if (!line || capacity == 0 || line[0] == '\0') {
        return kBrontalBadArguments;
    }
    const size_t length = BoundedLength(line, capacity);
    if (length == capacity) {
        return kBrontalBadArguments;
    }
    const void* separator = std::memchr(line, kFieldSeparator, length);
    const size_t codeLength =
        separator ? static_cast<size_t>(static_cast<LPCSTR>(separator) - line) : length;
    const size_t fieldLength = separator ? length - codeLength - 1 : 0;
    if (codeLength == 0 || codeLength >= kTransferCodeCapacity ||
        fieldLength > kTransferFieldCapacity - 1) {
        return kBrontalBadArguments;
    }
    char command[kTransferCodeCapacity];
    std::memcpy(command, line, codeLength);
    command[codeLength] = '\0';
    char fields[kTransferFieldCapacity];
    std::memcpy(fields, line + codeLength + (separator ? 1 : 0), fieldLength);
    fields[fieldLength] = '\0';

    // What the receipt total needs of the request, read before the reply replaces it.
    const int commandIndex = codeLength == 2 ? CommandIndex(command) : -2;
    int receiptKind = 0;
    LONGLONG amount = 0;
    DWORD scale = 0;
    bool haveAmount = false;
    if (commandIndex == kCmd_rb) {
        char first[kTransferFieldCapacity] = {};
        LPCSTR position = fields;
        NextText(&position, kFieldSeparator, first, sizeof first);
        LPCSTR kind = first;
        NextInt(&kind, kPartSeparator, &receiptKind);
    } else if (commandIndex == kCmd_rd || commandIndex == kCmd_ra) {
        LPCSTR position = fields;
        NextField(&position, kFieldSeparator);
        haveAmount = NextAmount(&position, kFieldSeparator, &amount, &scale) > 0;
    }

    const bool expectReply = !SameTextNoCase(command, "c0") && !SameTextNoCase(command, "b0");
    const int result = Execute(command, sizeof command, fields, sizeof fields, expectReply);
    if (result <= 0) {
        return result;
    }
    if (m_deviceError != 0) {
        return DeviceResult();
    }
    if (commandIndex == kCmd_rb) {
        ResetTotal(receiptKind, 0, 0);
    } else if (haveAmount) {
        AddToTotal(commandIndex == kCmd_rd, amount, scale);
    }
    CopyCut(line, capacity, fields, BoundedLength(fields, kTransferFieldCapacity - 1));
    return 0;
}

int CBrontal::DeviceResult() const {
    return m_deviceError == 0 ? 0 : kBrontalDeviceErrorBase - static_cast<int>(m_deviceError);
}

WORD CBrontal::GetStatusWords(WORD* blocking) const {
    if (blocking) {
        *blocking = m_blockingWord;
    }
    return m_statusWord;
}

int CBrontal::Detach() {
    if (m_link) {
        if (m_link->IsOpen()) {
            m_link->Close();
        }
        m_link.reset();
    }
    m_linkPort = 0;
    return 0;
}
