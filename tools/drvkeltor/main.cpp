// drvkeltor: the driver component from the command line.
//
//   drvkeltor [--keep-going] [--no-progress] [ITEM | -f FILE]... [salestest [OPTIONS]]
//
// Items run in order on one driver object; see Script.h for what an item says and --help for
// the members.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Catalogue.h"
#include "DispatchClient.h"
#include "Progress.h"
#include "SalesCommand.h"
#include "Script.h"

namespace {

const OLECHAR kProgId[] = OLESTR("BrontalOcx.DrvKeltor");

struct Step {
    enum class Kind { Line, File } kind;
    std::string text;
    std::string where;
};

struct CommandLine {
    bool help = false;
    bool keepGoing = false;
    bool progress = true;
    std::vector<Step> steps;
    bool salesTest = false;
    salestest::SalesTestParameters sales;
};

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: drvkeltor [--keep-going] [--no-progress] [ITEM | -f FILE]... [salestest ...]\n"
        "Calls the fiscal printer driver BrontalOcx.DrvKeltor through IDispatch, item by item.\n"
        "\n"
        "Items (as arguments, or lines of FILE; -f - reads standard input):\n"
        "  Name=value   set a property: numbers in decimal or 0x hex, money with a point\n"
        "               (12.50), dates as ISO text (2026-12-08T10:20:30, or 0), texts as given\n"
        "               (UTF-8), text arrays as a|b|c, number arrays as 1,2,3\n"
        "  ?Name        print a property as Name=value\n"
        "  Name         call a method and print \"Name: <result code> <description>\"\n"
        "               (a property name alone is printed like ?Name)\n"
        "  # ...        a comment; blank lines are skipped\n"
        "\n"
        "Options:\n"
        "  --keep-going  go on after a failing call and exit 0 (failures are still printed)\n"
        "  --no-progress no progress bar on standard error for long operations\n"
        "  --help        this text and the driver's members\n"
        "\n"
        "salestest runs the automatic sales test on the same driver object, after the items:\n",
        out);
    drvkeltor::PrintSalesUsage(out);
    std::fputs(
        "\n"
        "Exit status: 0 done, 1 a call failed, 2 bad usage or an item that cannot be run,\n"
        "3 the driver component cannot be created.\n"
        "\n"
        "Example: drvkeltor ComPort=7 BaudRate=9600 Connect ReceiptType=1 OpenReceipt \\\n"
        "             Price=12.50 Quantity=2 Sale CompleteReceipt ?Subtotal\n",
        out);
}

// kExitOk to go on, or the exit code.
int ParseCommandLine(int argc, char** argv, CommandLine* line) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            line->help = true;
            return drvkeltor::kExitOk;
        }
        if (argument == "--keep-going" || argument == "-k") {
            line->keepGoing = true;
        } else if (argument == "--no-progress") {
            line->progress = false;
        } else if (argument == "-f") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "drvkeltor: -f needs a file name (see --help)\n");
                return drvkeltor::kExitUsage;
            }
            line->steps.push_back({Step::Kind::File, argv[++i], std::string()});
        } else if (argument == "salestest") {
            std::vector<std::string> options(argv + i + 1, argv + argc);
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
        } else if (argument.size() > 1 && argument[0] == '-' && argument[1] == '-') {
            std::fprintf(stderr, "drvkeltor: unknown option %s (see --help)\n", argument.c_str());
            return drvkeltor::kExitUsage;
        } else {
            line->steps.push_back({Step::Kind::Line, argument, "argument " + std::to_string(i)});
        }
    }
    return drvkeltor::kExitOk;
}

int PrintHelp() {
    PrintUsage(stdout);
    CLSID clsid = {};
    drvkeltor::CMemberCatalogue catalogue;
    HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
    if (SUCCEEDED(hr)) {
        hr = catalogue.Load(clsid);
    }
    if (FAILED(hr)) {
        std::printf(
            "\nThe driver's members cannot be listed: the component is not registered "
            "or cannot be loaded (%s).\n",
            drvkeltor::HresultText(hr).c_str());
        return drvkeltor::kExitOk;
    }
    std::printf("\nMembers of BrontalOcx.DrvKeltor (%zu):\n", catalogue.Count());
    catalogue.Print(stdout);
    return drvkeltor::kExitOk;
}

int Run(const CommandLine& line) {
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
    drvkeltor::CMemberCatalogue catalogue;
    hr = catalogue.Load(clsid);
    if (FAILED(hr) || catalogue.Empty()) {
        std::fprintf(stderr, "drvkeltor: the component does not list its members (%s)\n",
                     drvkeltor::HresultText(hr).c_str());
        dispatch->Release();
        return drvkeltor::kExitNoDriver;
    }
    int exitCode = drvkeltor::kExitOk;
    {
        salestest::CDispatchClient driver(dispatch);
        dispatch->Release();  // the client holds its own reference
        drvkeltor::CScriptRunner runner(driver, catalogue, line.keepGoing, stdout, stderr);
        for (const Step& step : line.steps) {
            if (step.kind == Step::Kind::File) {
                runner.RunFile(step.text);
            } else {
                runner.RunLine(step.text, step.where);
            }
            if (runner.Stopped()) {
                break;
            }
        }
        exitCode = runner.ExitCode();
        if (line.salesTest && !runner.Stopped()) {
            const int salesResult = drvkeltor::RunSalesCommand(driver, line.sales, stdout, stderr);
            if (salesResult != drvkeltor::kExitOk && !line.keepGoing) {
                exitCode = salesResult;
            }
        }
    }
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    int exitCode = ParseCommandLine(argc, argv, &line);
    if (exitCode != drvkeltor::kExitOk) {
        return exitCode;
    }
    if (FAILED(CoInitialize(nullptr))) {
        std::fprintf(stderr, "drvkeltor: the component runtime cannot start\n");
        return drvkeltor::kExitNoDriver;
    }
    if (line.help) {
        exitCode = PrintHelp();
    } else {
        if (line.progress) {
            drvkeltor::InstallTerminalProgress();
        }
        exitCode = Run(line);
    }
    CoUninitialize();
    return exitCode;
}
