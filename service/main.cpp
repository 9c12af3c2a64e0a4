// brontald: fiscal printers over HTTP/JSON for point-of-sale programs in any language.
//
//   brontald [--config FILE] [--listen ADDRESS] [--port N] [--database FILE]
//            [--printer NAME=COMn[,BAUD]]... [--allow-raw-commands]
//
// It prints "brontald: listening on http://ADDRESS:PORT" once it serves, and stops on SIGINT or
// SIGTERM after the requests that are running have ended.
#include <windows.h>

#include <httplib.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "Catalogue.h"
#include "Documents.h"
#include "HttpApi.h"
#include "IdempotencyStore.h"
#include "Metrics.h"
#include "PrinterWorker.h"
#include "Script.h"
#include "ServiceConfig.h"
#include "Values.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// Keep-alive connections hold a thread each: room for many clients and the status page.
constexpr size_t kHttpThreads = 32;

const OLECHAR kProgId[] = OLESTR("BrontalOcx.DrvKeltor");

void PrintUsage(std::FILE* out) {
    std::fputs(
        "Usage: brontald [--config FILE] [--listen ADDRESS] [--port N] [--database FILE]\n"
        "                [--printer NAME=COMn[,BAUD]]... [--allow-raw-commands]\n"
        "Serves the fiscal printers of BrontalOcx.DrvKeltor over HTTP/JSON.\n"
        "\n"
        "  --config FILE        the configuration file (see the README; the options below\n"
        "                       override it)\n"
        "  --listen ADDRESS     address to bind (default 127.0.0.1; any other address\n"
        "                       needs a token in the configuration file)\n"
        "  --port N             HTTP port (default 8690; 0 takes any free port)\n"
        "  --database FILE      SQLite file of idempotency keys and outcomes\n"
        "                       (default brontald.db)\n"
        "  --printer NAME=COMn[,BAUD]  a printer, in addition to the configured ones\n"
        "  --allow-raw-commands let /call transfer raw commands (TransferBytes)\n"
        "  --help               this text\n"
        "\n"
        "Prints \"brontald: listening on http://ADDRESS:PORT\" once it serves; SIGINT or\n"
        "SIGTERM stop it. Exit status: 0 stopped, 1 it could not start, 2 bad usage.\n",
        out);
}

// kExitOk to go on, or the exit code.
int ParseCommandLine(int argc, char** argv, brontald::ServiceConfig* config, bool* help) {
    std::string configFile;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--config" && i + 1 < argc) {
            configFile = argv[i + 1];
        }
    }
    std::string error;
    if (!configFile.empty() && !brontald::LoadConfigFile(configFile, config, &error)) {
        std::fprintf(stderr, "brontald: %s\n", error.c_str());
        return kExitUsage;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--help" || option == "-h") {
            *help = true;
            return kExitOk;
        }
        if (option == "--allow-raw-commands") {
            config->allowRawCommands = true;
            continue;
        }
        if (option != "--config" && option != "--listen" && option != "--port" &&
            option != "--database" && option != "--printer") {
            std::fprintf(stderr, "brontald: unknown option %s (see --help)\n", option.c_str());
            return kExitUsage;
        }
        if (!hasValue) {
            std::fprintf(stderr, "brontald: %s needs a value (see --help)\n", option.c_str());
            return kExitUsage;
        }
        const std::string value = argv[++i];
        if (option == "--listen") {
            config->listen = value;
        } else if (option == "--database") {
            config->database = value;
        } else if (option == "--port") {
            LONGLONG port = 0;
            if (!drvkeltor::ParseInteger(value, 0, 65535, &port)) {
                std::fprintf(stderr, "brontald: --port must be 0 to 65535\n");
                return kExitUsage;
            }
            config->httpPort = static_cast<unsigned>(port);
        } else if (option == "--printer") {
            brontald::PrinterConfig printer;
            if (!brontald::ParsePrinterOption(value, &printer, &error)) {
                std::fprintf(stderr, "brontald: %s\n", error.c_str());
                return kExitUsage;
            }
            config->printers.push_back(printer);
        }
    }
    const std::string problem = brontald::CheckConfig(*config);
    if (!problem.empty()) {
        std::fprintf(stderr, "brontald: %s\n", problem.c_str());
        return kExitUsage;
    }
    return kExitOk;
}

int Serve(const brontald::ServiceConfig& config, const sigset_t& stopping) {
    brontald::CIdempotencyStore store;
    std::string error;
    if (!store.Open(config.database, &error)) {
        std::fprintf(stderr, "brontald: the store cannot be opened: %s\n", error.c_str());
        return kExitFailure;
    }
    store.Purge(config.keyRetentionDays);

    CLSID clsid = {};
    drvkeltor::CMemberCatalogue catalogue;
    HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
    if (SUCCEEDED(hr)) {
        hr = catalogue.Load(clsid);
    }
    if (FAILED(hr) || catalogue.Empty()) {
        std::fprintf(stderr,
                     "brontald: cannot read the members of BrontalOcx.DrvKeltor (%s); is it "
                     "registered (regsvr libBrontalOcx.so)?\n",
                     drvkeltor::HresultText(hr).c_str());
        return kExitFailure;
    }

    brontald::CMetrics metrics;
    brontald::DocumentServices services{store, metrics};
    brontald::CPrinterWorker worker;
    worker.SetHooks([&metrics](const std::string& printer,
                               long code) { metrics.CountMethodResult(printer, code); },
                    [&services](brontald::CPrinterSession& session) {
                        brontald::DecideUnknown(session, services);
                    });
    if (!worker.Start(config.printers, &error)) {
        std::fprintf(stderr, "brontald: %s\n", error.c_str());
        return kExitFailure;
    }

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kHttpThreads); };
    server.set_keep_alive_max_count(1000);
    brontald::CHttpApi api(config, worker, store, metrics, catalogue);
    api.Install(server);

    std::atomic<bool> finished{false};
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopping, &signal);
        // A stop that came before the server runs would be lost.
        while (!finished && !server.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        server.stop();
    });

    int port = static_cast<int>(config.httpPort);
    const bool bound = port == 0 ? (port = server.bind_to_any_port(config.listen)) > 0
                                 : server.bind_to_port(config.listen, port);
    int exitCode = kExitOk;
    if (!bound) {
        std::fprintf(stderr, "brontald: cannot listen on %s:%u\n", config.listen.c_str(),
                     config.httpPort);
        exitCode = kExitFailure;
    } else {
        // Documents left undecided by an earlier run are decided before anything else.
        std::thread decide([&] {
            for (const brontald::PrinterConfig& printer : config.printers) {
                worker.Run(printer.name, [](brontald::CPrinterSession&) {});
            }
        });
        std::printf("brontald: listening on http://%s:%d\n", config.listen.c_str(), port);
        std::fflush(stdout);
        server.listen_after_bind();
        decide.join();
    }
    finished = true;
    pthread_kill(waiter.native_handle(), SIGTERM);  // wakes it when no signal came
    waiter.join();
    worker.Stop();
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    brontald::ServiceConfig config;
    bool help = false;
    int exitCode = ParseCommandLine(argc, argv, &config, &help);
    if (help) {
        PrintUsage(stdout);
        return kExitOk;
    }
    if (exitCode != kExitOk) {
        return exitCode;
    }
    // Every thread started from here on leaves SIGINT and SIGTERM to the one that waits for
    // them and stops the server.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    if (FAILED(CoInitialize(nullptr))) {
        std::fprintf(stderr, "brontald: the component runtime cannot start\n");
        return kExitFailure;
    }
    exitCode = Serve(config, stopping);
    CoUninitialize();
    return exitCode;
}
