// Complete sale receipts through IDispatch against the virtual printer while a share of the
// frames is hit by line faults drawn from a seed. Call by call, what the driver reported is held
// against the printer's own record of what it executed.
//
// Options (environment): BRONTAL_SOAK_RECEIPTS (300), BRONTAL_SOAK_FAULT_PERCENT (5),
// BRONTAL_SOAK_SEED (12).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "PrinterSession.h"
#include "Registry.h"

namespace {

using namespace client;
using namespace testsupport;

constexpr int kUnconfirmed = -9009;
// A client asks again after a failure that says the command was not executed.
constexpr int kClientTries = 6;

unsigned Option(const char* name, unsigned fallback) {
    const char* text = std::getenv(name);
    return text && *text ? static_cast<unsigned>(std::strtoul(text, nullptr, 10)) : fallback;
}

struct Kind {
    const char* name;
    emu::Fault fault;
};

std::vector<Kind> LineFaults() {
    auto make = [](emu::FaultKind kind) {
        emu::Fault fault;
        fault.kind = kind;
        return fault;
    };
    emu::Fault syn = make(emu::FaultKind::SynBurst);
    syn.periodMs = 200;
    syn.durationMs = 700;
    emu::Fault noise = make(emu::FaultKind::Noise);
    noise.bytes = "\x7F\x01noise\x15";
    emu::Fault late = make(emu::FaultKind::LateReply);
    late.periodMs = 700;
    emu::Fault slow = make(emu::FaultKind::SlowBytes);
    slow.periodMs = 5;
    emu::Fault garbled = make(emu::FaultKind::GarbledReply);
    garbled.code = 3;
    return {
        {"reply lost after execution", make(emu::FaultKind::LostReply)},
        {"request not heard", make(emu::FaultKind::Silence)},
        {"NAK", make(emu::FaultKind::Nak)},
        {"wrong check byte", make(emu::FaultKind::BadCheckByte)},
        {"wrong sequence character", make(emu::FaultKind::WrongSequence)},
        {"SYN burst", syn},
        {"noise", noise},
        {"late reply", late},
        {"slow reply", slow},
        {"truncated reply", make(emu::FaultKind::TruncatedReply)},
        {"random bytes", garbled},
        {"empty fields", make(emu::FaultKind::EmptyFields)},
        {"short status field", make(emu::FaultKind::ShortStatusField)},
        {"replay to another command", make(emu::FaultKind::ReplayLast)},
    };
}

// The commands that change the receipt: none may run twice in one call.
bool IsFiscal(const std::string& code) {
    static const char* const kFiscal[] = {"rb", "as", "rt", "rc", "rn", "re", "rd", "ra"};
    for (const char* fiscal : kFiscal) {
        if (code == fiscal) {
            return true;
        }
    }
    return false;
}

struct Figures {
    unsigned receipts = 0;
    unsigned calls = 0;
    unsigned failures = 0;
    unsigned unconfirmed = 0;
    unsigned executedTwice = 0;
    unsigned successNotExecuted = 0;
    unsigned failureExecuted = 0;
    unsigned failureExecutedUnconfirmed = 0;
    unsigned leftOpen = 0;
};

class Soak : public PrinterSession {
  protected:
    // One call of a receipt method whose fiscal command is `code`. Its outcome against what the
    // printer executed meanwhile: true when the client may go on (success, or unconfirmed).
    bool Step(Member method, const std::string& code, bool* done) {
        const size_t before = printer_.Requests().size();
        const HRESULT hr = Result(method);
        const int result = ResultCode();
        const std::vector<std::string> all = printer_.Requests();
        std::map<std::string, unsigned> executed;
        for (size_t i = before; i < all.size(); ++i) {
            ++executed[all[i].substr(0, 2)];
        }
        ++figures_.calls;
        for (const auto& [command, count] : executed) {
            if (IsFiscal(command) && count > 1) {
                figures_.executedTwice += count - 1;
                ADD_FAILURE() << code << " call executed " << command << " " << count << " times";
            }
        }
        const bool ran = executed[code] > 0;
        *done = hr == S_OK;
        if (hr == S_OK) {
            if (!ran) {
                ++figures_.successNotExecuted;
                ADD_FAILURE() << code << " reported done but not executed";
            }
            return true;
        }
        ++figures_.failures;
        if (result == kUnconfirmed) {
            ++figures_.unconfirmed;
            figures_.failureExecutedUnconfirmed += ran ? 1 : 0;
            // The client cannot tell; it takes the receipt as the driver now shows it.
            *done = true;
            return true;
        }
        if (ran) {
            ++figures_.failureExecuted;
            ADD_FAILURE() << code << " failed with " << result << " but was executed";
            *done = true;
        }
        return false;
    }

    // Calls the method until it is done or the client gives up.
    void Until(Member method, const std::string& code) {
        bool done = false;
        for (int i = 0; i < kClientTries && !done; ++i) {
            Step(method, code, &done);
        }
    }

    void OneReceipt(unsigned n) {
        // The printer's logs keep so many entries: they are read and emptied receipt by receipt.
        frames_ += printer_.Frames().size();
        printer_.ClearLog();
        PutNumber(member::ReceiptType, 1);
        Until(member::OpenReceipt, "rb");
        for (int line = 0; line < 3; ++line) {
            PutText(member::Article, "Товар");
            PutMoney(member::Price,
                     static_cast<LONGLONG>(100 + (n * 7 + line * 13) % 900) * kUnit / 10);
            PutMoney(member::Quantity, kUnit);
            Until(member::Sale, "as");
        }
        Until(member::CompleteReceipt, "rt");
        const LONGLONG debt = D().GetCy(member::Debt);
        PutMoney(member::Amount, debt > 0 ? debt + 5 * kUnit : 5 * kUnit);
        Until(member::PayCash, "rc");
        Until(member::CloseReceipt, "re");
        ++figures_.receipts;
        if (printer_.State().receipt) {
            // Recovery as a client would make it: the end of the receipt, asked for again.
            Until(member::CompleteReceipt, "rt");
            PutMoney(member::Amount, D().GetCy(member::Debt) + kUnit);
            Until(member::PayCash, "rc");
            Until(member::CloseReceipt, "re");
        }
        if (printer_.State().receipt) {
            ++figures_.leftOpen;
            // Start the next one clean.
            printer_.ChangeState([](emu::PrinterState& state) {
                state.receipt.reset();
                state.status = static_cast<uint16_t>(state.status & ~emu::kStatusReceiptOpen);
            });
        }
    }

    Figures figures_;
    size_t frames_ = 0;
};

TEST_F(Soak, EveryCommandAtMostOnceAndEveryOutcomeAsItWas) {
    const unsigned receipts = Option("BRONTAL_SOAK_RECEIPTS", 300);
    const unsigned percent = Option("BRONTAL_SOAK_FAULT_PERCENT", 5);
    const unsigned seed = Option("BRONTAL_SOAK_SEED", 12);
    WriteSetting("Fiscal", "CmdRetryCount", 3);
    printer_.SetReportTime(0);
    Connect();
    if (HasFatalFailure()) {
        return;
    }
    const std::vector<Kind> kinds = LineFaults();
    std::vector<emu::Fault> faults;
    for (const Kind& kind : kinds) {
        faults.push_back(kind.fault);
    }
    ASSERT_EQ(printer_.SetRandomFaults(percent, seed, faults), 0);
    const DWORD start = GetTickCount();
    for (unsigned n = 0; n < receipts && !HasFatalFailure(); ++n) {
        OneReceipt(n);
    }
    const std::vector<size_t> counts = printer_.RandomFaultCounts();
    ASSERT_EQ(counts.size(), kinds.size());
    ASSERT_EQ(printer_.SetRandomFaults(0, 0, {}), 0);
    const size_t frames = frames_ + printer_.Frames().size();

    size_t faulted = 0;
    std::printf("soak: %u receipts, %u%% of frames faulted, seed %u, %lu s\n", figures_.receipts,
                percent, seed, static_cast<unsigned long>((GetTickCount() - start) / 1000));
    std::printf("soak: frames %zu, faults by kind:\n", frames);
    for (size_t i = 0; i < kinds.size(); ++i) {
        std::printf("soak:   %-28s %zu\n", kinds[i].name, counts[i]);
        faulted += counts[i];
    }
    std::printf("soak: calls %u, failures %u (unconfirmed %u)\n", figures_.calls, figures_.failures,
                figures_.unconfirmed);
    std::printf("soak: commands executed twice %u\n", figures_.executedTwice);
    std::printf("soak: successes not executed %u\n", figures_.successNotExecuted);
    std::printf("soak: failures executed %u (and %u reported as unconfirmed)\n",
                figures_.failureExecuted, figures_.failureExecutedUnconfirmed);
    std::printf("soak: receipts left open after recovery %u\n", figures_.leftOpen);
    std::fflush(stdout);

    EXPECT_EQ(figures_.receipts, receipts);
    if (percent > 0) {
        EXPECT_GT(faulted, 0u);
    }
    EXPECT_EQ(figures_.executedTwice, 0u);
    EXPECT_EQ(figures_.successNotExecuted, 0u);
    EXPECT_EQ(figures_.failureExecuted, 0u);
}

}  // namespace
