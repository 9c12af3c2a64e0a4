#include "PrinterWorker.h"

#include <cstdio>

#include "Script.h"

namespace brontald {

namespace {

const OLECHAR kProgId[] = OLESTR("BrontalOcx.DrvKeltor");

HRESULT CreateDriver(IDispatch** dispatch) {
    CLSID clsid = {};
    HRESULT hr = CLSIDFromProgID(kProgId, &clsid);
    if (SUCCEEDED(hr)) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(dispatch));
    }
    return hr;
}

}  // namespace

CPrinterWorker::~CPrinterWorker() {
    Stop();
}

void CPrinterWorker::SetHooks(std::function<void(const std::string&, long)> onResult,
                              Job beforeJob) {
    m_onResult = std::move(onResult);
    m_beforeJob = std::move(beforeJob);
}

bool CPrinterWorker::Start(const std::vector<PrinterConfig>& printers, std::string* error) {
    for (const PrinterConfig& printer : printers) {
        m_names.push_back(printer.name);
    }
    m_thread = std::thread(&CPrinterWorker::Main, this, printers);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait(lock, [this] { return m_started; });
    if (!m_ready) {
        *error = m_startError;
        lock.unlock();
        m_thread.join();
        return false;
    }
    return true;
}

void CPrinterWorker::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

size_t CPrinterWorker::IndexOf(const std::string& printer) const {
    for (size_t i = 0; i < m_names.size(); ++i) {
        if (m_names[i] == printer) {
            return i;
        }
    }
    return m_names.size();
}

bool CPrinterWorker::Run(const std::string& printer, const Job& job) {
    Task task{IndexOf(printer), &job};
    if (task.printer == m_names.size()) {
        return false;
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_stopping || !m_ready) {
        return false;
    }
    m_queue.push_back(&task);
    m_wake.notify_all();
    m_wake.wait(lock, [&task] { return task.done; });
    return task.ran;
}

void CPrinterWorker::Main(std::vector<PrinterConfig> printers) {
    std::vector<std::unique_ptr<CPrinterSession>> sessions;
    const HRESULT init = CoInitialize(nullptr);
    std::string error;
    if (FAILED(init)) {
        error = "the component runtime cannot start (" + drvkeltor::HresultText(init) + ")";
    }
    for (size_t i = 0; error.empty() && i < printers.size(); ++i) {
        IDispatch* dispatch = nullptr;
        const HRESULT hr = CreateDriver(&dispatch);
        if (FAILED(hr)) {
            error = "cannot create BrontalOcx.DrvKeltor (" + drvkeltor::HresultText(hr) +
                    "); is it registered (regsvr libBrontalOcx.so)?";
            break;
        }
        const std::string name = printers[i].name;
        auto onResult = [this, name](long code) {
            if (m_onResult) {
                m_onResult(name, code);
            }
        };
        sessions.push_back(std::make_unique<CPrinterSession>(printers[i], dispatch, onResult));
        dispatch->Release();  // the session's client holds its own reference
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_started = true;
        m_ready = error.empty();
        m_startError = error;
    }
    m_wake.notify_all();
    while (m_ready) {
        Task* task = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) {
                break;  // stopping, and every submitted job has run
            }
            task = m_queue.front();
            m_queue.pop_front();
        }
        CPrinterSession& session = *sessions[task->printer];
        // Nothing that goes wrong in one job may take the printer thread, and every printer,
        // with it.
        try {
            if (m_beforeJob) {
                m_beforeJob(session);
            }
            (*task->job)(session);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "brontald: a job of printer %s failed: %s\n",
                         session.Config().name.c_str(), error.what());
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            task->ran = true;
            task->done = true;
        }
        m_wake.notify_all();
    }
    // The objects go before the runtime, on the thread that made them.
    sessions.clear();
    if (SUCCEEDED(init)) {
        CoUninitialize();
    }
}

}  // namespace brontald
