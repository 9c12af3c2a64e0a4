// drvkeltor: the driver component from the command line.
//
//   drvkeltor [OPTIONS] [ITEM | -f FILE]... [salestest [OPTIONS]]
//
// Items run in order on one driver object; see Script.h for what an item says and --help for
// the members.
#include <windows.h>

#include <io.h>
#ifdef _WIN32
#include <shellapi.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "DispatchClient.h"
#include "Explain.h"
#include "Interrupt.h"
#include "PortCheck.h"
#include "Progress.h"
#include "SalesCommand.h"
#include "Script.h"
#include "Values.h"

namespace {

const OLECHAR kProgId[] = OLESTR("BrontalOcx.DrvKeltor");
constexpr int kStandardError = 2;

struct Step {
    enum class Kind { Line, File } kind;
    std::string text;
    std::string where;
};

struct CommandLine {
    bool help = false;
    bool version = false;
    bool listMembers = false;
    bool keepGoing = false;
    enum class Progress { Auto, On, Off } progress = Progress::Auto;
    std::vector<Step> steps;
    bool salesTest = false;
    salestest::SalesTestParameters sales;
};

void PrintShortUsage(std::FILE* out) {
    std::fputs(
        "Usage: drvkeltor [OPTIONS] [ITEM | -f FILE]... [salestest [OPTIONS]]\n"
        "Try 'drvkeltor --help' for the items, the options and the driver's members.\n",
        out);
}

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: drvkeltor [OPTIONS] [ITEM | -f FILE]... [salestest [OPTIONS]]\n"
        "Calls the fiscal printer driver BrontalOcx.DrvKeltor through IDispatch, item by item.\n"
        "The whole script is checked before the first call; Ctrl-C stops after the call in\n"
        "progress and tells what was left open (a second Ctrl-C quits at once).\n"
        "\n"
        "Items (as arguments, or lines of FILE; -f - reads standard input):\n"
        "  Name=value   set a property: numbers in decimal or 0x hex, money with a point\n"
        "               (12.50), dates as ISO text (2026-12-08T10:20:30, or 0), texts as given\n"
        "               (UTF-8), text arrays as a|b|c, number arrays as 1,2,3\n"
        "  ?Name        print a property as Name=value\n"
        "  Name         call a method and print \"Name: <result code> <description> (<meaning>)\"\n"
        "               (a property name alone is printed like ?Name)\n"
        "  # ...        a comment; blank lines are skipped\n"
        "\n"
        "Options:\n"
        "  -k, --keep-going  go on after a failing call and exit 0 (failures are still printed)\n"
        "  --progress        a progress bar on standard error for long operations (the default\n"
        "                    when standard error is a terminal)\n"
        "  --no-progress     no progress bar\n"
        "  --list-members    the members' names, one a line\n"
        "  --version         the version of drvkeltor\n"
        "  -h, --help        this text and the driver's members\n"
        "\n"
        "salestest runs the automatic sales test on the same driver object, after the items:\n",
        out);
    drvkeltor::PrintSalesUsage(out);
    std::fputs(
        "\n"
        "The meaning of a result is given in the language of the locale (English or Russian).\n"
        "\n"
        "Exit status: 0 done, 1 a call failed, 2 bad usage or an item that cannot be run\n"
        "(nothing was called), 3 the driver component cannot be created, 130 interrupted.\n"
        "\n"
        "Example: drvkeltor ComPort=7 BaudRate=9600 Connect ReceiptType=1 OpenReceipt \\\n"
        "             Article=Coffee Price=12.50 Quantity=2 Sale CompleteReceipt ?Subtotal\n",
        out);
}

// kExitOk to go on, or the exit code.
int ParseCommandLine(const std::vector<std::string>& argv, CommandLine* line) {
    const int argc = static_cast<int>(argv.size());
    if (argc < 2) {
        PrintShortUsage(stderr);
        return drvkeltor::kExitUsage;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            line->help = true;
            return drvkeltor::kExitOk;
        }
        if (argument == "--version") {
            line->version = true;
            return drvkeltor::kExitOk;
        }
        if (argument == "--list-members") {
            line->listMembers = true;
            return drvkeltor::kExitOk;
        }
        if (argument == "--keep-going" || argument == "-k") {
            line->keepGoing = true;
        } else if (argument == "--no-progress") {
            line->progress = CommandLine::Progress::Off;
        } else if (argument == "--progress") {
            line->progress = CommandLine::Progress::On;
        } else if (argument == "-f") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "drvkeltor: -f needs a file name (see --help)\n");
                return drvkeltor::kExitUsage;
            }
            line->steps.push_back({Step::Kind::File, argv[++i], std::string()});
        } else if (argument == "salestest") {
            std::vector<std::string> options(argv.begin() + i + 1, argv.end());
            for (const std::string& option : options) {
                if (option == "--help" || option == "-h") {
                    line->help = true;
                    return drvkeltor::kExitOk;
                }
            }
            std::string error;
            if (!drvkeltor::ParseSalesOptions(options, &line->sales, &error)) {
                std::fprintf(stderr, "drvkeltor: salestest: %s (see --help)\n", error.c_str());
                return drvkeltor::kExitUsage;
            }
            line->salesTest = true;
            return drvkeltor::kExitOk;
        } else if (argument.size() > 1 && argument[0] == '-' &&
                   (argument[1] == '-' || argument.size() == 2)) {
            std::fprintf(stderr, "drvkeltor: unknown option %s (see --help)\n", argument.c_str());
            return drvkeltor::kExitUsage;
        } else {
            line->steps.push_back({Step::Kind::Line, argument, "argument " + std::to_string(i)});
        }
    }
    return drvkeltor::kExitOk;
}

void PrintHelp() {
    PrintUsage(stdout);
    const drvkeltor::CMemberCatalogue& catalogue = drvkeltor::CMemberCatalogue::Builtin();
    std::printf("\nMembers of BrontalOcx.DrvKeltor (%zu):\n\n", catalogue.Count());
    catalogue.Print(stdout);
}

// A registered component of another version than this client's: names may not mean the same.
void WarnOfOtherVersion(REFCLSID clsid) {
    drvkeltor::CMemberCatalogue registered;
    if (FAILED(registered.Load(clsid))) {
        return;
    }
    const std::string differences = drvkeltor::CMemberCatalogue::Builtin().Differences(registered);
    if (!differences.empty()) {
        std::fprintf(stderr,
                     "drvkeltor: warning: the registered driver is of another version than "
                     "drvkeltor (members that differ: %s); register the one that came with it\n",
                     differences.c_str());
    }
}

// Why the port kept the printer away, told after the driver let the port go.
void ExplainLinkFailure(const drvkeltor::LinkFailure& failure, drvkeltor::Language language) {
    if (!failure.seen || failure.port == 0) {
        return;
    }
    std::string device;
    unsigned long error = 0;
    const drvkeltor::PortTrouble trouble = drvkeltor::CheckPort(failure.port, &device, &error);
    std::fprintf(
        stderr, "drvkeltor: %s\n",
        drvkeltor::ExplainPortTrouble(trouble, failure.port, device, error, language).c_str());
    if (trouble == drvkeltor::PortTrouble::NoDevice) {
        const std::string ports = drvkeltor::ListedPorts();
        std::fprintf(stderr, "drvkeltor: %s\n",
                     ports.empty() ? "the system lists no serial ports"
                                   : ("the system lists " + ports).c_str());
    }
}

int Run(const CommandLine& line) {
    // Everything is read and checked before the component exists, let alone the printer.
    drvkeltor::CScriptReader reader(drvkeltor::CMemberCatalogue::Builtin(), stderr);
    for (const Step& step : line.steps) {
        if (step.kind == Step::Kind::File) {
            reader.AddFile(step.text);
        } else {
            reader.AddLine(step.text, step.where);
        }
    }
    if (reader.Errors() > 0) {
        std::fprintf(stderr, "drvkeltor: nothing was called\n");
        return drvkeltor::kExitUsage;
    }

    CLSID clsid = {};
    HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&dispatch));
    }
    if (FAILED(hr)) {
        std::fprintf(stderr,
                     "drvkeltor: cannot create BrontalOcx.DrvKeltor (%s); is it registered "
                     "(regsvr libBrontalOcx.so)?\n",
                     drvkeltor::HresultText(hr).c_str());
        return drvkeltor::kExitNoDriver;
    }
    WarnOfOtherVersion(clsid);
    const drvkeltor::Language language = drvkeltor::UserLanguage();
    int exitCode = drvkeltor::kExitOk;
    drvkeltor::LinkFailure linkFailure;
    drvkeltor::CatchInterrupt(stderr);
    {
        salestest::CDispatchClient driver(dispatch);
        dispatch->Release();  // the client holds its own reference
        drvkeltor::CScriptRunner runner(driver, line.keepGoing, language, stdout, stderr);
        runner.Run(reader.Items());
        exitCode = runner.ExitCode();
        if (line.salesTest && !runner.Stopped()) {
            const int salesResult = drvkeltor::RunSalesCommand(driver, line.sales, stdout, stderr);
            if (salesResult != drvkeltor::kExitOk &&
                (!line.keepGoing || salesResult == drvkeltor::kExitInterrupted)) {
                exitCode = salesResult;
            }
        } else if (runner.WasInterrupted()) {
            const size_t total = reader.Items().size();
            std::fprintf(stderr,
                         "drvkeltor: interrupted after %zu of %zu items%s%s%s; the rest was not "
                         "run.\n",
                         runner.Done(), total, runner.LastCall().empty() ? "" : " (the last call, ",
                         runner.LastCall().c_str(), runner.LastCall().empty() ? "" : ", finished)");
            drvkeltor::ReportOpenWork(driver, stderr);
        } else if (runner.Stopped()) {
            drvkeltor::ReportOpenWork(driver, stderr);
        }
        linkFailure = runner.LastLinkFailure();
    }
    drvkeltor::ReleaseInterrupt();
    // The driver object is gone and with it its hold on the port.
    ExplainLinkFailure(linkFailure, language);
    return exitCode;
}

// The arguments in UTF-8. Windows hands a program its arguments in the ANSI code page, which
// cannot carry every text an item may hold, so there they come from the wide command line.
std::vector<std::string> Arguments(int argc, char** argv) {
#ifdef _WIN32
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide) {
        std::vector<std::string> arguments;
        for (int i = 0; i < count; ++i) {
            BSTR argument = SysAllocString(wide[i]);
            arguments.push_back(drvkeltor::Utf8FromBstr(argument));
            SysFreeString(argument);
        }
        LocalFree(wide);
        return arguments;
    }
#endif
    return std::vector<std::string>(argv, argv + argc);
}

// What the client prints is UTF-8; a Windows console shows it as such only when told so, and is
// given its own code page back at the end.
class ConsoleUtf8 {
  public:
#ifdef _WIN32
    ConsoleUtf8() : m_previous(GetConsoleOutputCP()) {
        if (m_previous != 0) {
            SetConsoleOutputCP(CP_UTF8);
        }
    }
    ~ConsoleUtf8() {
        if (m_previous != 0) {
            SetConsoleOutputCP(m_previous);
        }
    }

  private:
    const UINT m_previous;
#endif
};

}  // namespace

int main(int argc, char** argv) {
    [[maybe_unused]] const ConsoleUtf8 console;
    CommandLine line;
    int exitCode = ParseCommandLine(Arguments(argc, argv), &line);
    if (exitCode != drvkeltor::kExitOk) {
        return exitCode;
    }
    if (line.version) {
        std::printf("drvkeltor %s\n", BRONTAL_VERSION_TEXT);
        return drvkeltor::kExitOk;
    }
    if (line.help) {
        PrintHelp();
        return drvkeltor::kExitOk;
    }
    if (line.listMembers) {
        drvkeltor::CMemberCatalogue::Builtin().PrintNames(stdout);
        return drvkeltor::kExitOk;
    }
    if (FAILED(CoInitialize(nullptr))) {
        std::fprintf(stderr, "drvkeltor: the component runtime cannot start\n");
        return drvkeltor::kExitNoDriver;
    }
    if (line.progress == CommandLine::Progress::On ||
        (line.progress == CommandLine::Progress::Auto && _isatty(kStandardError))) {
        drvkeltor::InstallTerminalProgress(kStandardError);
    }
    exitCode = Run(line);
    CoUninitialize();
    return exitCode;
}
