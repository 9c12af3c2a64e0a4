// The electronic journal: the text of every document of a day as it was printed, kept per day
// and addressed by the day's number and a byte offset into that text. Its extent ("jz"), its
// blocks ("jg"), where the day lies in the journal memory ("jb"), the validation the Z report
// asks for ("jv": the CRC-32 of the day's bytes as the driver read them, or "VALID"), and its
// printout ("jp"). A printer without a journal (status bit 6 clear) knows none of these.
#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"

namespace emu {

namespace {

constexpr uint32_t kMaxJournalBlock = 512;

bool HasJournal(const PrinterState& state, CommandResult& result) {
    if ((state.status & kStatusJournalPresent) == 0) {
        result.error = kErrBadCommand;
        return false;
    }
    return true;
}

// The day a journal request names: absent, empty or 0 is the current or last day. kErrNone,
// kErrBadParameter for a number that is none, kErrNoZReport for a day the fiscal memory does
// not have.
uint8_t JournalDay(const PrinterState& state, const std::string& field, uint32_t& day) {
    uint32_t number = 0;
    if (!field.empty() && !ParseNumber(field, UINT32_MAX, number)) {
        return kErrBadParameter;
    }
    if (number == 0) {
        number = state.counters.session;
    }
    if (!FindSession(state, number) && number != state.counters.session) {
        return kErrNoZReport;
    }
    day = number;
    return kErrNone;
}

const std::string& JournalOf(const PrinterState& state, uint32_t day) {
    static const std::string empty;
    const auto it = state.journals.find(day);
    return it == state.journals.end() ? empty : it->second;
}

}  // namespace

// "jz" [FS day]: the day's number FS start offset FS length, both in hexadecimal. A day's
// journal is addressed from its own first byte.
CommandResult CmdJournalExtent(CommandContext& context) {
    const PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    if (!HasJournal(state, result)) {
        return result;
    }
    uint32_t day = 0;
    result.error =
        request.FieldCount() > 1 ? kErrBadParameter : JournalDay(state, request.Field(0), day);
    if (result.error != kErrNone) {
        return result;
    }
    const size_t length = JournalOf(state, day).size();
    result.fields =
        ReplyData().Field(day).HexField(0).HexField(static_cast<uint32_t>(length)).Fields();
    return result;
}

// "jg" FS day FS offset FS length (hexadecimal, 1 to 512): the bytes from the offset, fewer
// when the journal ends sooner. An offset at or past its end is refused: an empty block would
// read as one of the length asked for.
CommandResult CmdJournalBlock(CommandContext& context) {
    const PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    if (!HasJournal(state, result)) {
        return result;
    }
    uint32_t day = 0;
    uint32_t offset = 0;
    uint32_t length = 0;
    if (request.FieldCount() != 3 || request.Field(0).empty() ||
        !ParseHex(request.Field(1), offset) || !ParseHex(request.Field(2), length) || length == 0 ||
        length > kMaxJournalBlock) {
        result.error = kErrBadParameter;
        return result;
    }
    result.error = JournalDay(state, request.Field(0), day);
    if (result.error != kErrNone) {
        return result;
    }
    const std::string& journal = JournalOf(state, day);
    if (offset >= journal.size()) {
        result.error = kErrBadParameter;
        return result;
    }
    result.fields = ReplyData().Field(journal.substr(offset, length)).Fields();
    return result;
}

// "jb": where the current or last day's journal lies in the journal memory, which holds the days
// one after the other: its first position FS the position after its last byte.
CommandResult CmdJournalDayBounds(CommandContext& context) {
    const PrinterState& state = context.state;
    CommandResult result;
    if (!HasJournal(state, result)) {
        return result;
    }
    if (context.request.FieldCount() != 0) {
        result.error = kErrBadParameter;
        return result;
    }
    const uint32_t day = state.counters.session;
    uint64_t start = 0;
    for (const auto& [number, journal] : state.journals) {
        if (number < day) {
            start += journal.size();
        }
    }
    const uint64_t end = start + JournalOf(state, day).size();
    // The positions are 32-bit on the wire; a memory that held more would have wrapped.
    result.fields = ReplyData()
                        .Field(static_cast<int64_t>(start & 0xFFFFFFFFu))
                        .Field(static_cast<int64_t>(end & 0xFFFFFFFFu))
                        .Fields();
    return result;
}

// "jv" FS checksum or "VALID": the journal of the current or last day is confirmed. A checksum
// must be the CRC-32 of its bytes; a wrong one is refused and the journal still needs
// validating.
CommandResult CmdJournalValidate(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    if (!HasJournal(state, result)) {
        return result;
    }
    const std::string& given = request.Field(0);
    uint32_t crc = 0;
    if (request.FieldCount() != 1 || (given != "VALID" && !ParseHex(given, crc))) {
        result.error = kErrBadParameter;
        return result;
    }
    if (given != "VALID" && crc != Crc32(JournalOf(state, state.counters.session))) {
        result.error = kErrBadParameter;
        return result;
    }
    state.status = static_cast<uint16_t>(state.status & ~kStatusJournalNeedValidate);
    return result;
}

// "jp" [FS "PRINT"]: the journal of the current or last day is printed, between its own heading
// and end line; the printout is a copy and does not go into the journal itself.
CommandResult CmdJournalPrint(CommandContext& context) {
    const PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    if (!HasJournal(state, result)) {
        return result;
    }
    if (request.FieldCount() > 1 || (!request.Field(0).empty() && request.Field(0) != "PRINT")) {
        result.error = kErrBadParameter;
        return result;
    }
    if ((state.status & kStatusReceiptOpen) != 0) {
        result.error = kErrWrongOrder;
        return result;
    }
    const uint32_t day = state.counters.session;
    std::string journal = JournalOf(state, day);
    if (!journal.empty() && journal.back() != '\n') {
        journal += '\n';
    }
    Printout heading = NewPrintout(state);
    heading.Center("ЭЛЕКТРОННЫЙ ЖУРНАЛ");
    heading.Pair("СМЕНА " + std::to_string(day), ShownTime(NowDigits(state))).Rule();
    Printout closing = NewPrintout(state);
    closing.Rule().Center("КОНЕЦ ЖУРНАЛА").Text("");
    context.paper.PrintText(heading.text() + journal + closing.text());
    result.busyMs = context.reportMs;
    return result;
}

}  // namespace emu
