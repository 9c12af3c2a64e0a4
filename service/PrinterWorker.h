// The printer thread: the one thread of the process that talks to printers.
//
// The component allows one printer exchange at a time in a process (its command and frame
// buffers are shared by all driver objects) and its objects live in the apartment of the thread
// that created them. So one thread initialises the component runtime, creates a driver object
// for every configured printer and runs every job that touches a printer, one after the other,
// in the order they were submitted. HTTP threads submit jobs and wait for them.
//
// Thread-safety: Start and Stop from one thread; Run from any thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PrinterSession.h"
#include "ServiceConfig.h"

namespace brontald {

class CPrinterWorker {
  public:
    using Job = std::function<void(CPrinterSession&)>;

    CPrinterWorker() = default;
    ~CPrinterWorker();
    CPrinterWorker(const CPrinterWorker&) = delete;
    CPrinterWorker& operator=(const CPrinterWorker&) = delete;

    // `onResult` sees every driver result of every printer (printer name, code); `beforeJob`
    // runs on the printer thread before each job of a printer (outcomes left to decide).
    void SetHooks(std::function<void(const std::string&, long)> onResult, Job beforeJob);
    // Starts the thread and creates the driver objects there. False, with `error`, when the
    // component runtime or the component cannot be had.
    bool Start(const std::vector<PrinterConfig>& printers, std::string* error);
    // Ends the queued jobs, releases the driver objects and ends the thread.
    void Stop();

    // Runs `job` with the printer's session on the printer thread and waits for it. False when
    // there is no such printer or the worker is stopping (the job did not run).
    bool Run(const std::string& printer, const Job& job);

  private:
    struct Task {
        size_t printer;
        const Job* job;
        bool done = false;
        bool ran = false;
    };

    void Main(std::vector<PrinterConfig> printers);
    size_t IndexOf(const std::string& printer) const;

    std::function<void(const std::string&, long)> m_onResult;
    Job m_beforeJob;
    std::vector<std::string> m_names;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task*> m_queue;
    bool m_started = false;
    bool m_ready = false;
    bool m_stopping = false;
    std::string m_startError;
};

}  // namespace brontald
