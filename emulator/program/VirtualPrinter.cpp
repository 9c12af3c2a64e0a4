#include "VirtualPrinter.h"

#include <cerrno>
#include <chrono>
#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>
#include <winerror.h>

#include "PortMap.h"
#include "PrinterEngine.h"

namespace emu {

VirtualPrinter::VirtualPrinter() : impl_(std::make_unique<Impl>()) {}

VirtualPrinter::~VirtualPrinter() {
    Stop();
    UnregisterPort();
    std::lock_guard<std::mutex> control(impl_->control);
    impl_->pty.Close();
}

int VirtualPrinter::Start() {
    std::lock_guard<std::mutex> control(impl_->control);
    if (impl_->thread.joinable()) {
        return -EALREADY;
    }
    if (!impl_->pty.IsOpen()) {
        int rc = impl_->pty.Open();
        if (rc != 0) {
            return rc;
        }
    } else {
        impl_->pty.DiscardInput();
    }
    impl_->wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (impl_->wake < 0) {
        return -errno;
    }
    {
        std::lock_guard<std::mutex> lock(impl_->mutex);
        // Power-on: whatever the printer answered before is forgotten.
        impl_->haveLast = false;
        impl_->pendingBusyMs = 0;
        impl_->restartUntil = {};
        impl_->paper.PrintPowerOn();
    }
    impl_->thread = std::thread([this] { impl_->Serve(); });
    return 0;
}

void VirtualPrinter::Stop() {
    std::lock_guard<std::mutex> control(impl_->control);
    if (!impl_->thread.joinable()) {
        return;
    }
    const uint64_t one = 1;
    // An eventfd write of 8 bytes cannot fail short of an overflowed counter.
    [[maybe_unused]] ssize_t written = ::write(impl_->wake, &one, sizeof one);
    impl_->thread.join();
    ::close(impl_->wake);
    impl_->wake = -1;
}

bool VirtualPrinter::IsServing() const {
    std::lock_guard<std::mutex> control(impl_->control);
    return impl_->thread.joinable();
}

std::string VirtualPrinter::DevicePath() const {
    std::lock_guard<std::mutex> control(impl_->control);
    return impl_->pty.DevicePath();
}

int VirtualPrinter::RegisterPort(int n) {
    std::lock_guard<std::mutex> control(impl_->control);
    if (!impl_->pty.IsOpen()) {
        return -ERROR_NOT_READY;
    }
    int rc = AddPortMapEntry(impl_->pty.DevicePath(), n);
    if (rc > 0) {
        impl_->port = rc;
        impl_->registeredPath = impl_->pty.DevicePath();
    }
    return rc;
}

void VirtualPrinter::UnregisterPort() {
    std::lock_guard<std::mutex> control(impl_->control);
    if (impl_->registeredPath.empty()) {
        return;
    }
    RemovePortMapEntry(impl_->registeredPath);
    impl_->registeredPath.clear();
    impl_->port = 0;
}

int VirtualPrinter::PortNumber() const {
    std::lock_guard<std::mutex> control(impl_->control);
    return impl_->port;
}

int VirtualPrinter::SetStateFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    PrinterState loaded = impl_->state;
    int rc = ReadStateFile(path, loaded);
    if (rc != 0 && rc != -ENOENT) {
        // Never overwrite a file we could not understand: it may be someone's fiscal history.
        impl_->stateFile.clear();
        return rc;
    }
    impl_->state = loaded;
    impl_->stateFile = path;
    impl_->savedState = rc == 0 ? SaveState(loaded) : std::string();
    impl_->SaveIfChanged();
    return 0;
}

void VirtualPrinter::SetPaperFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->paper.SetFile(path);
}

void VirtualPrinter::SetStatusWords(uint16_t status, uint16_t blocking) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.status = status;
    impl_->state.blocking = blocking;
    impl_->SaveIfChanged();
}

uint16_t VirtualPrinter::StatusWord() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.status;
}

uint16_t VirtualPrinter::BlockingWord() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state.blocking;
}

void VirtualPrinter::SetDocumentCounters(const DocumentCounters& counters) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.counters = counters;
    impl_->SaveIfChanged();
}

int VirtualPrinter::SetIdentity(const PrinterIdentity& identity) {
    if (!IsValidIdentity(identity)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.identity = identity;
    impl_->SaveIfChanged();
    return 0;
}

int VirtualPrinter::SetHardwareStatus(const HardwareStatus& hardware) {
    if (!IsValidHardware(hardware)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.hardware = hardware;
    impl_->SaveIfChanged();
    return 0;
}

int VirtualPrinter::SetCurrencies(const std::vector<Currency>& currencies,
                                  const std::string& baseCurrency) {
    if (!IsValidCurrencies(currencies, baseCurrency)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.currencies = currencies;
    impl_->state.baseCurrency = baseCurrency;
    impl_->SaveIfChanged();
    return 0;
}

int VirtualPrinter::SetClockOffset(int64_t seconds) {
    PrinterClock clock;
    clock.offsetSeconds = seconds;
    if (!IsValidClock(clock)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.clock = clock;
    impl_->SaveIfChanged();
    return 0;
}

int VirtualPrinter::SetFixedClock(const PrinterTime& time) {
    if (!IsValidTime(time)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.clock.fixed = true;
    impl_->state.clock.fixedTime = time;
    impl_->SaveIfChanged();
    return 0;
}

int VirtualPrinter::MergeStateText(const std::string& text) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    int rc = MergeState(text, impl_->state);
    if (rc == 0) {
        impl_->SaveIfChanged();
    }
    return rc;
}

PrinterState VirtualPrinter::State() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->state;
}

void VirtualPrinter::SetRestartTime(unsigned ms) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->restartMs = ms;
}

void VirtualPrinter::ChangeState(const std::function<void(PrinterState&)>& change) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    change(impl_->state);
    impl_->SaveIfChanged();
}

void VirtualPrinter::KeepBusy(unsigned ms) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->pendingBusyMs = ms;
}

void VirtualPrinter::SetReportTime(unsigned ms) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->reportMs = ms;
}

int VirtualPrinter::SetLineRate(bool on, unsigned fifoBytes) {
    if (fifoBytes == 0 || fifoBytes > kMaxFifoBytes) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->lineRate = on;
    impl_->fifoBytes = fifoBytes;
    return 0;
}

void VirtualPrinter::SetPrintTime(unsigned msPerLine) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->printMsPerLine = msPerLine;
}

LineCounts VirtualPrinter::Line() const {
    LineCounts counts;
    counts.received = impl_->received;
    counts.sent = impl_->sent;
    counts.pacedBaud = impl_->pacedBaud;
    counts.sending = std::chrono::nanoseconds(impl_->sendingNs.load());
    return counts;
}

void VirtualPrinter::ClearLineCounts() {
    impl_->received = 0;
    impl_->sent = 0;
    impl_->pacedBaud = 0;
    impl_->sendingNs = 0;
}

int VirtualPrinter::SetDepartments(const std::vector<Department>& departments) {
    if (!IsValidDepartments(departments)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.departments = departments;
    impl_->SaveIfChanged();
    return 0;
}

int VirtualPrinter::SetPaymentFacilities(const std::vector<PaymentFacility>& facilities) {
    if (!IsValidFacilities(facilities)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.facilities = facilities;
    impl_->SaveIfChanged();
    return 0;
}

int VirtualPrinter::SetReceiptHeader(const std::string& text) {
    if (!IsValidHeaderText(text)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.header = text;
    impl_->SaveIfChanged();
    return 0;
}

int VirtualPrinter::SetReceiptFooter(const std::string& text) {
    if (!IsValidHeaderText(text)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->state.footer = text;
    impl_->SaveIfChanged();
    return 0;
}

std::string VirtualPrinter::SessionJournal(uint32_t session) const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    const auto it = impl_->state.journals.find(session);
    return it == impl_->state.journals.end() ? std::string() : it->second;
}

int VirtualPrinter::SetSessionJournal(uint32_t session, const std::string& journal) {
    if (!IsValidJournal(journal)) {
        return -EINVAL;
    }
    std::lock_guard<std::mutex> lock(impl_->mutex);
    bool known = false;
    for (const Session& day : impl_->state.sessions) {
        known = known || day.number == session;
    }
    if (!known) {
        return -EINVAL;
    }
    impl_->state.journals[session] = journal;
    impl_->SaveIfChanged();
    return 0;
}

int VirtualPrinter::InjectFault(const Fault& fault) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->faults.Add(fault);
}

void VirtualPrinter::ClearFaults() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->faults.Clear();
}

int VirtualPrinter::SetRandomFaults(unsigned percent, uint32_t seed,
                                    const std::vector<Fault>& kinds) {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->faults.SetRandom(percent, seed, kinds);
}

std::vector<size_t> VirtualPrinter::RandomFaultCounts() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->faults.RandomCounts();
}

size_t VirtualPrinter::PendingFaults() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return impl_->faults.Size();
}

std::vector<ReceivedFrame> VirtualPrinter::Frames() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return {impl_->frames.begin(), impl_->frames.end()};
}

std::vector<std::string> VirtualPrinter::Requests() const {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    return {impl_->requests.begin(), impl_->requests.end()};
}

void VirtualPrinter::ClearLog() {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->frames.clear();
    impl_->requests.clear();
}

bool VirtualPrinter::WaitForFrames(size_t count, unsigned timeoutMs) const {
    std::unique_lock<std::mutex> lock(impl_->mutex);
    return impl_->frameArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                        [&] { return impl_->frames.size() >= count; });
}

}  // namespace emu
