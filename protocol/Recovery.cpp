// Recovery from the printer errors that Execute handles itself: the electronic journal error
// (22) and the control unit errors (48 to 50).
#include "AsyncComX28.h"
#include "Brontal.h"
#include "FiscalCommand.h"

namespace {

// A restarted printer needs this long before it answers again.
constexpr DWORD kRestartWaitMs = 1500;
constexpr DWORD kClosingDocumentWaitMs = 500;
constexpr DWORD kPollSendFailedWaitMs = 300;
constexpr DWORD kControlUnitStepWaitMs = 200;

constexpr int kJournalRecoveryPasses = 3;
constexpr int kJournalStatusPolls = 3;

// Echo buffer of the recovery's own exchanges: two letters and room for a longer echo.
constexpr DWORD kEchoCapacity = 8;

}  // namespace

int CBrontal::Exchange(LPCSTR command, LPCSTR fields, LPSTR data, DWORD dataCapacity) {
    const int sent = SendCommand(command, fields);
    if (sent <= 0) {
        return sent;
    }
    char echo[kEchoCapacity];
    char scratch[kReplyTextCapacity];
    if (!data) {
        data = scratch;
        dataCapacity = sizeof scratch;
    }
    return ReceiveReply(echo, sizeof echo, data, dataCapacity);
}

int CBrontal::RecoverJournalError(int commandIndex) {
    const bool closingDocument = commandIndex == kCmd_re;
    if (closingDocument) {
        Sleep(kClosingDocumentWaitMs);
    }
    int pollsLeft = kJournalStatusPolls;
    int result = kBrontalBadArguments;
    for (int pass = 0; pass < kJournalRecoveryPasses; ++pass) {
        if ((m_statusWord & kStatusBlocked) == 0) {
            break;
        }
        // The restart clears the journal fault; the printer does not answer it.
        if (SendCommand("c0", nullptr) <= 0) {
            continue;
        }
        Sleep(kRestartWaitMs);

        bool resendPoll = true;
        bool repeatPoll = false;  // a poll goes again under its own sequence character
        for (;;) {
            int poll = 0;
            if (resendPoll) {
                poll = Transmit("gs", nullptr, repeatPoll);
                repeatPoll = poll > 0;
                if (poll <= 0) {
                    Sleep(kPollSendFailedWaitMs);
                }
            }
            if (!resendPoll || poll > 0) {
                char echo[kEchoCapacity];
                char data[32];
                poll = ReceiveReply(echo, sizeof echo, data, sizeof data);
            }
            result = poll;
            --pollsLeft;
            if (!fiscal::IsRetryable(result) || pollsLeft <= 0) {
                break;
            }
            resendPoll = result != kX28OutOfSequence;
        }
        if (result <= 0) {
            continue;
        }
        if (m_statusWord & kStatusNeedReset) {
            result = Exchange("cr", nullptr, nullptr, 0);
            if (result <= 0) {
                continue;
            }
        }
        if (closingDocument && (m_statusWord & kStatusReceiptOpen) == 0) {
            m_deviceError = 0;
            return 0;
        }
        m_deviceError = kDeviceErrorJournal;
    }
    // The recovery's own replies must not hide that the command was refused.
    m_deviceError = kDeviceErrorJournal;
    return result;
}

int CBrontal::RecoverControlUnitError(int commandIndex, BYTE deviceError) {
    // The exchanges below overwrite the device error held; the caller reports this one.
    auto refused = [this, deviceError] {
        m_deviceError = deviceError;
        return static_cast<int>(deviceError);
    };
    auto blocked = [this] { return (m_statusWord & kStatusBlocked) != 0; };

    if (m_statusWord & kStatusNeedReset) {
        Exchange("cr", nullptr, nullptr, 0);
    }
    // Only the end of a document may have gone through despite the control unit.
    if (commandIndex != kCmd_re) {
        return refused();
    }
    Sleep(kClosingDocumentWaitMs);
    int result = Exchange("vc", nullptr, nullptr, 0);
    if (blocked()) {
        Sleep(kControlUnitStepWaitMs);
        result = Exchange("vr", nullptr, nullptr, 0);
        if (result > 0 && blocked()) {
            Sleep(kControlUnitStepWaitMs);
            result = Exchange("vc", nullptr, nullptr, 0);
        }
        if (blocked()) {
            Sleep(kControlUnitStepWaitMs);
            result = Exchange("vw", "AUTH", nullptr, 0);
            if (result > 0 && blocked()) {
                Sleep(kControlUnitStepWaitMs);
                result = Exchange("vc", nullptr, nullptr, 0);
            }
        }
    }
    if (blocked() || (m_statusWord & kStatusNotReady) || result <= 0) {
        return refused();
    }
    // A receipt still open: the document went through only if the printer counted a new one.
    if (m_statusWord & kStatusReceiptOpen) {
        char data[kReplyTextCapacity];
        if (Exchange("gn", nullptr, data, sizeof data) <= 0) {
            return refused();
        }
        LPCSTR position = data;
        LONG document = 0;
        // A negative number is no document: as a DWORD it would pass for the newest one.
        if (NextLong(&position, kFieldSeparator, &document) <= 0 || document < 0) {
            return refused();
        }
        const DWORD previous = m_lastDocumentNumber;
        m_lastDocumentNumber = static_cast<DWORD>(document);
        if (static_cast<DWORD>(document) <= previous) {
            return refused();
        }
    }
    m_deviceError = 0;
    return 0;
}
