// The lines drvkeltor runs, from its arguments or from a script file:
//
//   Name=value   put the property (the value converted to the member's type, see Values.h)
//   ?Name        get the property and print "Name=value"
//   Name         call the method and print "Name: <result code> <description>"; for a
//                property the same as ?Name
//   # text       a comment; blank lines are skipped
//
// A failing call is reported and, unless the runner goes on after failures, ends the run; a line
// that cannot be run (unknown member, bad value, read-only property) always ends it.
#pragma once

#include <cstdio>
#include <string>

#include "Catalogue.h"
#include "DispatchClient.h"

namespace drvkeltor {

enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,    // a call failed (without --keep-going)
    kExitUsage = 2,     // bad arguments or a line that cannot be run
    kExitNoDriver = 3,  // the component cannot be created or lists no members
};

class CScriptRunner {
  public:
    CScriptRunner(salestest::CDispatchClient& driver, const CMemberCatalogue& catalogue,
                  bool keepGoing, std::FILE* out, std::FILE* err);

    // Runs one line; `where` names it in messages ("argument 2", "calls.txt:7"). False once the
    // run has to stop.
    bool RunLine(const std::string& line, const std::string& where);
    // Every line of the file ("-": standard input) until the run has to stop.
    bool RunFile(const std::string& path);
    // A failure seen by another part of the run (the sales test).
    void NoteFailure();
    bool Stopped() const { return m_stopped; }
    int ExitCode() const { return m_exitCode; }

  private:
    bool Call(const BrontalMemberInfo& member, const std::string& where);
    bool Get(const BrontalMemberInfo& member, const std::string& where);
    bool Put(const BrontalMemberInfo& member, const std::string& value, const std::string& where);
    // A call that failed: reported; the run stops unless it goes on after failures.
    bool Failed();
    // A line that cannot be run: reported; the run stops.
    bool Refuse(const std::string& where, const std::string& message);

    salestest::CDispatchClient& m_driver;
    const CMemberCatalogue& m_catalogue;
    bool m_keepGoing;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_stopped = false;
    int m_exitCode = kExitOk;
};

// "0x80042332"
std::string HresultText(HRESULT hr);

}  // namespace drvkeltor
