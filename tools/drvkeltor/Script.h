// The items drvkeltor runs, from its arguments or from script files:
//
//   Name=value   put the property (the value converted to the member's type, see Values.h)
//   ?Name        get the property and print "Name=value"
//   Name         call the method and print "Name: <result code> <description> (<meaning>)";
//                for a property the same as ?Name
//   # text       a comment; blank lines are skipped
//
// The whole script is read and checked (member names, access, value syntax) before the first
// call, so that a mistake on a late line cannot leave a receipt half printed. A failing call is
// reported and, unless the runner goes on after failures, ends the run; so does Ctrl-C, after the
// call in progress.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "DispatchClient.h"
#include "Explain.h"

namespace drvkeltor {

enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,    // a call failed (without --keep-going)
    kExitUsage = 2,     // bad arguments or a line that cannot be run; nothing was called
    kExitNoDriver = 3,  // the component cannot be created
};

struct ScriptItem {
    enum class Kind { Put, Get, Call } kind = Kind::Call;
    const BrontalMemberInfo* member = nullptr;
    std::string value;  // Put: the text after '=', as written
    std::string where;  // "argument 2", "calls.txt:7"
};

// Reads lines into items and checks each against the catalogue; every line that cannot be run is
// reported on `err`.
class CScriptReader {
  public:
    CScriptReader(const CMemberCatalogue& catalogue, std::FILE* err);

    void AddLine(const std::string& line, const std::string& where);
    // Every line of the file ("-": standard input).
    void AddFile(const std::string& path);

    const std::vector<ScriptItem>& Items() const { return m_items; }
    int Errors() const { return m_errors; }

  private:
    void Refuse(const std::string& where, const std::string& message);

    const CMemberCatalogue& m_catalogue;
    std::FILE* m_err;
    std::vector<ScriptItem> m_items;
    int m_errors = 0;
};

// The last failing call that may have been kept from the printer by its port.
struct LinkFailure {
    bool seen = false;
    unsigned port = 0;  // ComPort after the call
    long code = 0;
};

class CScriptRunner {
  public:
    CScriptRunner(salestest::CDispatchClient& driver, bool keepGoing, Language language,
                  std::FILE* out, std::FILE* err);

    // Runs the items in order until one fails (unless the runner goes on after failures) or the
    // run is interrupted.
    void Run(const std::vector<ScriptItem>& items);
    // A failure seen by another part of the run (the sales test).
    void NoteFailure();
    bool Stopped() const { return m_stopped; }
    bool WasInterrupted() const { return m_interrupted; }
    int ExitCode() const { return m_exitCode; }
    // Items run so far.
    size_t Done() const { return m_done; }
    const LinkFailure& LastLinkFailure() const { return m_linkFailure; }
    // The name of the last member called, for messages.
    const std::string& LastCall() const { return m_lastCall; }

  private:
    bool Call(const BrontalMemberInfo& member, const std::string& where);
    bool Get(const BrontalMemberInfo& member, const std::string& where);
    bool Put(const BrontalMemberInfo& member, const std::string& value, const std::string& where);
    // After Connect: where autodetection found the printer, when not where it was asked.
    void TellWhereFound(ULONG askedPort, ULONG askedSpeed);
    bool Failed();

    salestest::CDispatchClient& m_driver;
    bool m_keepGoing;
    Language m_language;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_stopped = false;
    bool m_interrupted = false;
    int m_exitCode = kExitOk;
    size_t m_done = 0;
    LinkFailure m_linkFailure;
    std::string m_lastCall;
};

// What the printer was left with after a run that stopped early: an open receipt or day, and the
// command lines that finish or cancel it. Nothing when the printer was never reached.
void ReportOpenWork(salestest::CDispatchClient& driver, std::FILE* err);

// "0x80042332"
std::string HresultText(HRESULT hr);

}  // namespace drvkeltor
