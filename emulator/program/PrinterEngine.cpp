#include "PrinterEngine.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>

#include <poll.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include "Commands.h"
#include "Request.h"

namespace emu {

namespace {

using Clock = std::chrono::steady_clock;

// Printing never keeps the printer busy for longer than this (an hour) in one go.
constexpr uint64_t kMaxBusyMs = 3600000;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// The sequence character the driver used before this one (the cycle runs '0' to 'Z').
char PreviousSequence(char sequence) {
    return sequence <= '0' || sequence > 'Z' ? 'Z' : static_cast<char>(sequence - 1);
}

// A reply the driver could not take apart (too long for its buffer, or a control byte inside
// that would end the frame early) comes from a handler's mistake; answer it as a refused
// parameter rather than send a broken frame.
bool FitsInFrame(const std::string& payload) {
    if (payload.size() > kMaxReplyPayload) {
        return false;
    }
    for (char c : payload) {
        if (c == kStx || c == kEtx) {
            return false;
        }
    }
    return true;
}

// Echo of the code as the printer read it, two letters at most.
std::string Echo(const Request& request) {
    return request.code.substr(0, 2);
}

}  // namespace

VirtualPrinter::Impl::Pace VirtualPrinter::Impl::CurrentPace() {
    Pace pace;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!lineRate) {
            return pace;
        }
        pace.fifoBytes = fifoBytes;
    }
    // The master reads the settings the driver gave the slave, its speed included.
    termios line{};
    if (::tcgetattr(pty.master(), &line) == 0) {
        pace.baud = BaudOfSpeed(::cfgetospeed(&line));
    }
    return pace;
}

void VirtualPrinter::Impl::Serve() {
    // Paced bytes are due every few tens of microseconds at the higher speeds: the default slack
    // of 50 microseconds on every timed wait would make them late.
    ::prctl(PR_SET_TIMERSLACK, 1000UL);
    FrameReceiver receiver;
    char chunk[256];
    for (;;) {
        pollfd fds[2] = {{pty.master(), POLLIN, 0}, {wake, POLLIN, 0}};
        int rc = ::poll(fds, 2, -1);
        if (rc < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[0].revents & POLLIN) {
            ssize_t n = ::read(pty.master(), chunk, sizeof chunk);
            if (n > 0) {
                const Clock::time_point arrival = Clock::now();
                received += static_cast<uint64_t>(n);
                // The bytes came at once through the pseudo-terminal; on a cable they would
                // still be crossing, one after the other.
                const Pace pace = CurrentPace();
                const Clock::time_point start = inbound.Start(arrival);
                if (pace.baud != 0) {
                    inbound.Take(start, static_cast<uint64_t>(n), pace.baud);
                }
                for (ssize_t i = 0; i < n; ++i) {
                    FrameReceiver::Event event = receiver.Feed(chunk[i]);
                    if (event == FrameReceiver::Event::None) {
                        continue;
                    }
                    if (pace.baud != 0 &&
                        !PauseUntil(start + LineDirection::WireTime(i + 1, pace.baud))) {
                        return;
                    }
                    if (!HandleFrame(receiver, event)) {
                        return;
                    }
                }
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
        }
        // A hang-up or an error on the master should not happen while our own slave descriptor
        // is open; should it, wait a little instead of spinning on it.
        if (!Pause(50)) {
            return;
        }
    }
}

bool VirtualPrinter::Impl::HandleFrame(const FrameReceiver& receiver, FrameReceiver::Event event) {
    const char sequence = receiver.sequence();
    const bool sound = event == FrameReceiver::Event::Frame && receiver.checkOk();
    std::optional<Fault> fault;
    std::string reply;
    unsigned busyMs = 0;
    bool restarted = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        const std::string& payload = receiver.payload();
        if (Clock::now() < restartUntil) {
            // Still starting up after "c0": nobody listens to the line yet.
            Record({sequence, payload, sound, false});
            return true;
        }
        if (!sound) {
            // A real printer refuses a spoiled packet and lets the driver send it again.
            Record({sequence, payload, false, false});
        } else {
            // The sequence character alone tells a repeat: whatever the text, a frame under the
            // character of the last executed request is answered from the cache.
            const bool repeated = haveLast && sequence == lastSequence;
            Record({sequence, payload, true, repeated});
            const Request request = ParseRequest(payload);
            fault = faults.Take(request.code);
            if (fault && fault->kind == FaultKind::ReplayLast &&
                (!haveLast || ParseRequest(lastPayload).code == request.code)) {
                fault.reset();  // nothing it could be mistaken for
            }
            if (fault && (fault->kind == FaultKind::Silence || fault->kind == FaultKind::Nak)) {
                // Refused before the printer looked at it: nothing executed, nothing cached.
            } else if (fault && fault->kind == FaultKind::ReplayLast) {
                // Taken for a repeat: the last answer again, under this frame's character.
                reply = lastReply;
            } else if (fault && fault->kind == FaultKind::DeviceError) {
                StrikeDeviceError(*fault, state, paper);
                SaveIfChanged();
                reply = BuildReplyPayload(Echo(request), static_cast<uint8_t>(fault->code),
                                          state.status, state.blocking, {});
                if (!repeated) {
                    Remember(sequence, payload, reply);
                }
            } else if (repeated) {
                reply = lastReply;
            } else {
                Outcome outcome = Execute(request);
                busyMs = outcome.busyMs;
                requests.push_back(payload);
                if (requests.size() > kLogCapacity) {
                    requests.pop_front();
                }
                if (outcome.restart) {
                    // Starting up, the printer forgets what it answered before.
                    restarted = true;
                    haveLast = false;
                    restartUntil = Clock::now() + std::chrono::milliseconds(restartMs);
                } else {
                    reply = std::move(outcome.reply);
                    if (fault && fault->kind == FaultKind::ExtraData) {
                        // The printer's own reply, so its cache keeps it as it was built.
                        reply += kFs + fault->bytes;
                    }
                    Remember(sequence, payload, reply);
                }
            }
        }
    }

    if (!sound || (fault && fault->kind == FaultKind::Nak)) {
        return Send(std::string(1, kNak));
    }
    if (restarted || (fault && fault->kind == FaultKind::Silence)) {
        return true;
    }
    if (busyMs > 0 && !SendSyns(kBusySynPeriodMs, busyMs)) {
        return false;
    }
    if (!fault) {
        return Send(BuildFrame(sequence, reply));
    }
    switch (fault->kind) {
        case FaultKind::LostReply:
            return true;
        case FaultKind::BadCheckByte: {
            std::string frame = BuildFrame(sequence, reply);
            frame.back() = static_cast<char>(frame.back() ^ 0xFF);
            return Send(frame);
        }
        case FaultKind::WrongSequence:
            return Send(BuildFrame(PreviousSequence(sequence), reply));
        case FaultKind::SynBurst:
            return SendSyns(fault->periodMs, fault->durationMs) &&
                   Send(BuildFrame(sequence, reply));
        case FaultKind::Noise:
            return Send(fault->bytes) && Send(BuildFrame(sequence, reply));
        case FaultKind::SlowBytes: {
            const std::string frame = BuildFrame(sequence, reply);
            for (size_t i = 0; i < frame.size(); ++i) {
                if ((i > 0 && !Pause(fault->periodMs)) || !Send(frame.substr(i, 1))) {
                    return false;
                }
            }
            return true;
        }
        case FaultKind::LongErrorField:
        case FaultKind::ShortStatusField:
        case FaultKind::LongStatusField:
        case FaultKind::NoFirstFs:
        case FaultKind::TruncatedReply:
        case FaultKind::GarbledReply:
        case FaultKind::EmptyFields:
            return Send(BuildFrame(sequence, SpoilReply(*fault, reply)));
        case FaultKind::LateReply:
            return Pause(fault->periodMs) && Send(BuildFrame(sequence, reply));
        case FaultKind::DeviceError:
        case FaultKind::ReplayLast:
        case FaultKind::ExtraData:
            return Send(BuildFrame(sequence, reply));
        case FaultKind::Nak:
        case FaultKind::Silence:
            break;
    }
    return true;
}

void VirtualPrinter::Impl::Remember(char sequence, const std::string& payload,
                                    const std::string& reply) {
    haveLast = true;
    lastSequence = sequence;
    lastPayload = payload;
    lastReply = reply;
}

void VirtualPrinter::Impl::Record(ReceivedFrame frame) {
    frames.push_back(std::move(frame));
    if (frames.size() > kLogCapacity) {
        frames.pop_front();
    }
    frameArrived.notify_all();
}

VirtualPrinter::Impl::Outcome VirtualPrinter::Impl::Execute(const Request& request) {
    SettleReceipt(state);
    CommandResult result;
    const uint64_t linesBefore = paper.LinesPrinted();
    CommandHandler handler = FindCommand(request.code);
    if (handler) {
        CommandContext context{state, paper, request, reportMs};
        result = handler(context);
    } else {
        result.error = kErrBadCommand;
    }
    Outcome outcome;
    const uint64_t printed = paper.LinesPrinted() - linesBefore;
    outcome.busyMs =
        result.busyMs + pendingBusyMs +
        static_cast<unsigned>(std::min<uint64_t>(printed * printMsPerLine, kMaxBusyMs));
    outcome.restart = result.restart;
    pendingBusyMs = 0;
    SaveIfChanged();
    outcome.reply =
        BuildReplyPayload(Echo(request), result.error, state.status, state.blocking, result.fields);
    if (!FitsInFrame(outcome.reply)) {
        outcome.reply =
            BuildReplyPayload(Echo(request), kErrBadParameter, state.status, state.blocking, {});
    }
    return outcome;
}

void VirtualPrinter::Impl::SaveIfChanged() {
    if (stateFile.empty()) {
        return;
    }
    std::string text = SaveState(state);
    if (text != savedState && WriteStateText(stateFile, text) == 0) {
        savedState = std::move(text);
    }
}

bool VirtualPrinter::Impl::Pause(unsigned ms) {
    return PauseUntil(Clock::now() + std::chrono::milliseconds(ms));
}

bool VirtualPrinter::Impl::PauseUntil(Clock::time_point until) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::nanoseconds>(until - Clock::now());
        const long long ns = left.count() > 0 ? left.count() : 0;
        const timespec timeout{static_cast<time_t>(ns / 1000000000),
                               static_cast<long>(ns % 1000000000)};
        pollfd fd = {wake, POLLIN, 0};
        int rc = ::ppoll(&fd, 1, &timeout, nullptr);
        if (rc > 0) {
            return false;
        }
        if (rc == 0 || errno != EINTR) {
            return true;
        }
    }
}

bool VirtualPrinter::Impl::Send(const std::string& bytes) {
    const Clock::time_point begin = Clock::now();
    sent += bytes.size();
    const Pace pace = CurrentPace();
    bool serving = true;
    if (pace.baud == 0) {
        serving = Write(bytes.data(), bytes.size());
    } else {
        pacedBaud = pace.baud;
        const Clock::time_point start = outbound.Start(begin);
        outbound.Take(start, bytes.size(), pace.baud);
        const size_t fifo = pace.fifoBytes;
        for (size_t done = 0; serving && done < bytes.size();) {
            const size_t group = std::min(bytes.size(), done + fifo);
            serving = PauseUntil(start + LineDirection::WireTime(group, pace.baud));
            // Woken late, the printer hands over every whole group that has crossed by now at
            // once, as a UART's buffer would have them, instead of falling further behind.
            const uint64_t crossed = LineDirection::BytesIn(Clock::now() - start, pace.baud);
            const size_t due = crossed >= bytes.size()
                                   ? bytes.size()
                                   : std::max(group, static_cast<size_t>(crossed / fifo * fifo));
            serving = serving && Write(bytes.data() + done, due - done);
            done = due;
        }
    }
    sendingNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - begin).count();
    return serving;
}

bool VirtualPrinter::Impl::Write(const char* bytes, size_t count) {
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kWriteBudgetMs);
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(pty.master(), bytes + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            return true;  // the line is gone; the bytes are lost as they would be on a wire
        }
        int left = RemainingMs(deadline);
        if (left == 0) {
            return true;  // nobody reads: drop the rest rather than hang the printer
        }
        pollfd fds[2] = {{pty.master(), POLLOUT, 0}, {wake, POLLIN, 0}};
        if (::poll(fds, 2, left) > 0 && fds[1].revents != 0) {
            return false;
        }
    }
    return true;
}

bool VirtualPrinter::Impl::SendSyns(unsigned periodMs, unsigned durationMs) {
    const Clock::time_point start = Clock::now();
    const auto period = std::chrono::milliseconds(periodMs);
    const auto duration = std::chrono::milliseconds(durationMs);
    // Each SYN is due at a fixed offset from the start, so the period does not drift with the
    // time the writes take.
    for (unsigned k = 0; period * k < duration; ++k) {
        if (!PauseUntil(start + period * k) || !Send(std::string(1, kSyn))) {
            return false;
        }
    }
    // The reply follows when the operation is over, not right after the last SYN.
    return PauseUntil(start + duration);
}

}  // namespace emu
