// Electronic journal methods: reading a byte range of a session's journal into
// ElectronicJournalData (and a file), printing it on a non-fiscal document, validating the
// day's journal by its CRC-32 or by force, printing it with the printer's own command, and the
// journal length behind ElectronicJournalReadOffset.
#include <algorithm>
#include <new>

#include "BackgroundWork.h"
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "JournalOperations.h"
#include "ReceiptContext.h"
#include "Trace.h"

namespace {

// "pt" takes one portion of the journal text at a time.
constexpr DWORD kPrintPortionLength = 512;
// The journal prints on a non-fiscal document in the normal font.
constexpr UINT kJournalFont = 0;

}  // namespace

// ---- internal operations ----

bool CJournalBuffer::Allocate(DWORD count) {
    if (count > kJournalReadLimit) {
        return false;
    }
    m_data.reset(new (std::nothrow) char[static_cast<size_t>(count) + 1]());
    m_count = m_data ? count : 0;
    return m_data != nullptr;
}

int RunReadElectronicJournal(CBrontal& layer, DWORD session, LPSTR buffer, DWORD count,
                             DWORD offset) {
    const char name[] = "CDrvKeltor::RunReadElectronicJournal";
    TraceCallHelper(kCallFlowTraceFile, "%s() try...", name);
    int result = kDriverWorkerStartFailed;
    if (WorkDescriptor* work = AllocateWork()) {
        work->device = &layer;
        work->kind = kWorkJournalRead;
        work->progressMinimum = 0;
        work->progressMaximum = count;
        work->progressStep = kJournalProgressStep;
        work->firstValue = session;
        work->secondValue = offset;
        work->buffer = buffer;
        work->bufferSize = count;
        result = RunProgress(work);
        ReleaseWork(work);
    }
    TraceCallHelper(kCallFlowTraceFile, "%s() done, res=%d(%#0x)", name, result,
                    static_cast<unsigned>(result));
    return result;
}

int ReadJournalBytes(CBrontal& layer, DWORD journal, DWORD offset, DWORD count, bool withProgress,
                     CJournalBuffer& buffer) {
    // A range past the last offset would wrap and read the journal's start instead.
    if (offset > 0xFFFFFFFFU - count || !buffer.Allocate(count)) {
        return kBrontalBadArguments;
    }
    if (withProgress) {
        return RunReadElectronicJournal(layer, journal, buffer.Data(), count, offset);
    }
    return layer.ReadJournal(journal, offset, buffer.Data(), buffer.Capacity(), count, nullptr,
                             nullptr);
}

int DownloadAndValidateJournal(CBrontal& layer, bool withProgress, LPCSTR savePath) {
    DWORD journal = 0;
    DWORD offset = 0;
    DWORD length = 0;
    int result = layer.ReadJournalExtent(&journal, &offset, &length);
    if (result != 0) {
        return result;
    }
    CJournalBuffer buffer;
    result = ReadJournalBytes(layer, journal, offset, length, withProgress, buffer);
    if (result != 0) {
        // Half a journal is neither saved nor offered for validation.
        return result;
    }
    if (savePath && savePath[0] != '\0') {
        SaveElectronicJournal(journal, savePath, buffer.Bytes(), buffer.Count());
    }
    return layer.ValidateJournalData(buffer.Bytes(), buffer.Count());
}

// ---- steps shared by the read methods ----

int CDrvKeltor::ReadJournalIntoData(CDeviceFrame& frame) {
    CBrontal& layer = frame.Layer();
    CJournalBuffer buffer;
    if (frame.Store(ReadJournalBytes(layer, m_sessionNumber, m_electronicJournalReadOffset,
                                     m_electronicJournalReadSize,
                                     m_suppressJournalReadProgress == 0, buffer)) != 0) {
        return DriverResultCode();
    }
    AnsiText text;
    try {
        text.assign(buffer.Data());
    } catch (const std::bad_alloc&) {
        return frame.Store(kBrontalBadArguments);
    }
    m_electronicJournalData.swap(text);
    if (m_electronicJournalSavePath.empty()) {
        return 0;
    }
    if (m_sessionNumber == 0) {
        // The file is named after the session, so the current one is asked for.
        DWORD document = 0;
        DWORD session = 0;
        DWORD receipt = 0;
        int type = 0;
        if (frame.Store(layer.ReadDocumentNumbers(&document, &session, &receipt, &type)) != 0) {
            return DriverResultCode();
        }
        m_documentNumber = document;
        m_sessionNumber = session;
        m_receiptNumber = receipt;
    }
    SaveElectronicJournal(m_sessionNumber, m_electronicJournalSavePath.c_str(), buffer.Bytes(),
                          buffer.Count());
    return 0;
}

int CDrvKeltor::PrintJournalData(CDeviceFrame& frame) {
    if (m_electronicJournalData.empty()) {
        return 0;
    }
    if (frame.Store(RefreshPrinterStatus()) != 0) {
        return DriverResultCode();
    }
    CBrontal& layer = frame.Layer();
    // Outside a receipt the journal goes on a document of its own; a reset the printer asks for
    // goes first, and the opening tells whether it helped.
    if ((m_statusWord & kStatusReceiptOpen) == 0 && BeginDocument(frame, kNonFiscalDocument) != 0) {
        return DriverResultCode();
    }
    if (frame.Store(layer.SetPrintFont(kJournalFont)) != 0) {
        return DriverResultCode();
    }
    const AnsiText& text = m_electronicJournalData;
    char portion[kPrintPortionLength + 1];
    for (size_t start = 0; start < text.size(); start += kPrintPortionLength) {
        const size_t end = std::min<size_t>(text.size(), start + kPrintPortionLength);
        DWORD length = 0;
        for (size_t i = start; i < end; ++i) {
            if (text[i] != '\r') {
                portion[length++] = text[i];
            }
        }
        portion[length] = '\0';
        // A portion of nothing but line ends has nothing to print; the printer refuses an empty
        // line, which would leave the document open halfway through the journal.
        if (length == 0) {
            continue;
        }
        if (frame.Store(layer.PrintTextLine(portion)) != 0) {
            return DriverResultCode();
        }
    }
    return frame.Store(layer.EndReceipt());
}

// ---- methods ----

STDMETHODIMP CDrvKeltor::ReadElectronicJournal() {
    return RunDeviceMethod(*this, "CDrvKeltor::ReadElectronicJournal",
                           [&](CDeviceFrame& frame) { return ReadJournalIntoData(frame); });
}

STDMETHODIMP CDrvKeltor::ReadAndPrintElectronicJournal() {
    return RunDeviceMethod(*this, "CDrvKeltor::ReadAndPrintElectronicJournal",
                           [&](CDeviceFrame& frame) {
                               const int result = ReadJournalIntoData(frame);
                               return result != 0 ? result : PrintJournalData(frame);
                           });
}

// A printer whose status cannot be read is not one whose journal is known to need nothing: the
// failed refresh is the result, as in every other method, rather than a success.
STDMETHODIMP CDrvKeltor::ReadAndValidateElectronicJournal() {
    return RunDeviceMethod(
        *this, "CDrvKeltor::ReadAndValidateElectronicJournal", [&](CDeviceFrame& frame) {
            const WORD wanted = kStatusJournalPresent | kStatusJournalNeedValidate;
            if ((m_statusWord & wanted) != wanted) {
                return 0;
            }
            return DownloadAndValidateJournal(frame.Layer(), m_suppressJournalReadProgress == 0,
                                              m_electronicJournalSavePath.c_str());
        });
}

STDMETHODIMP CDrvKeltor::ForceValidateElectronicJournal() {
    return RunDeviceMethod(
        *this, "CDrvKeltor::ForceValidateElectronicJournal", [&](CDeviceFrame& frame) {
            const WORD wanted = kStatusJournalPresent | kStatusJournalNeedValidate;
            if ((m_statusWord & wanted) != wanted) {
                return 0;
            }
            return frame.Layer().ForceValidateJournal(m_electronicJournalCrc);
        });
}

STDMETHODIMP CDrvKeltor::PrintElectronicJournal() {
    return RunDeviceMethod(*this, "CDrvKeltor::PrintElectronicJournal", [&](CDeviceFrame& frame) {
        CBrontal& layer = frame.Layer();
        if ((m_statusWord & kStatusNotReady) != 0 && frame.Store(layer.CancelPrinting()) != 0) {
            return DriverResultCode();
        }
        if (frame.Store(RefreshPrinterStatus()) != 0) {
            return DriverResultCode();
        }
        return (m_statusWord & kStatusJournalPresent) != 0 ? layer.PrintJournal() : 0;
    });
}

// ---- ElectronicJournalReadOffset: reading it asks the printer for the session's length ----

HRESULT CDrvKeltor::GetElectronicJournalReadOffset(LPCSTR name, DWORD* offset) {
    const CMemberTrace trace(name);
    if (!offset) {
        return trace.Done(E_POINTER);
    }
    if (m_brontal) {
        int result = RefreshPrinterStatus();
        SetDriverResultCode(result);
        if (result == 0) {
            DWORD journal = m_sessionNumber;
            DWORD start = 0;
            DWORD length = 0;
            result = m_brontal->ReadJournalExtent(&journal, &start, &length);
            SetDriverResultCode(result);
            if (result == 0) {
                m_electronicJournalReadOffset = length;
            }
        }
    }
    // A failed query is left in ResultCode; the getter gives the value it has.
    *offset = m_electronicJournalReadOffset;
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::get_ElectronicJournalReadOffset(ULONG* pVal) {
    return GetElectronicJournalReadOffset("CDrvKeltor::get_ElectronicJournalReadOffset", pVal);
}

STDMETHODIMP CDrvKeltor::get_ElectronicJournalReadOffset2(LONG* pVal) {
    if (!pVal) {
        return GetElectronicJournalReadOffset("CDrvKeltor::get_ElectronicJournalReadOffset2",
                                              nullptr);
    }
    DWORD offset = 0;
    const HRESULT hr =
        GetElectronicJournalReadOffset("CDrvKeltor::get_ElectronicJournalReadOffset2", &offset);
    *pVal = static_cast<LONG>(offset);
    return hr;
}
