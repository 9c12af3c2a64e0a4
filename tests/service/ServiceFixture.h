// brontald as its users run it: a child process in the test's registry, with the component
// registered by regsvr and the virtual printer on a COM port, reached over loopback HTTP.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "VirtualPrinter.h"

namespace servicetest {

using Json = nlohmann::json;

std::string BrontaldPath();

struct Reply {
    int status = 0;  // 0: no answer (the connection failed or was dropped)
    Json body;       // null when the body is not JSON
    std::string text;
};

// One brontald process; ended by its id when the object goes.
class ServiceProcess {
  public:
    ServiceProcess() = default;
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    // Starts it with `arguments` and waits for its "listening on" line. False with the reason.
    bool Start(const std::vector<std::string>& arguments, const std::string& folder,
               std::string* error);
    // SIGTERM, then waits for it: its exit status (-1 when it did not end normally in time).
    int Stop();
    // SIGKILL, as a crash would end it.
    void Kill();
    bool Running() const { return pid_ > 0; }
    int Port() const { return port_; }
    std::string ErrorOutput() const;

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::string errFile_;
};

// HTTP over loopback; `patienceMs` bounds the wait for the answer, after which the connection
// is dropped.
Reply Request(int port, const std::string& method, const std::string& path,
              const std::string& body = std::string(),
              const std::map<std::string, std::string>& headers = {}, int patienceMs = 120000);

// The component registered in a fresh registry, the virtual printer on a COM port with a
// paper file, three attempts per command, and brontald serving it as printer "main".
class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // (Re)starts brontald with the printer and `extra` arguments; the store stays.
    void StartService(const std::vector<std::string>& extra = {});
    // Ends it and checks that it ended cleanly (exit status 0: no leak, no crash).
    void StopService();

    Reply Post(const std::string& path, const Json& body, const std::string& key = std::string());
    Reply Get(const std::string& path);

    // The printer's paper and the journal of day `day`, as UTF-8.
    std::string Paper() const;
    std::string Journal(uint32_t day) const;
    // How many requests the printer executed so far.
    size_t ExecutedRequests() const;
    // Waits until the printer received a request frame whose payload starts with `code`.
    bool WaitForRequest(const std::string& code, unsigned timeoutMs) const;

    // Where the service keeps its store: memory when the machine has a tmpfs, so that the tests
    // do not wait on the disk's flushes, which other work on a shared machine may make slow.
    std::string Database() const { return databaseDir_ + "/brontald.db"; }

    testsupport::ScopedRegistryDir registry_;
    testsupport::TempDir work_;
    std::string databaseDir_;
    emu::VirtualPrinter printer_;
    ServiceProcess service_;
    int comPort_ = 0;
};

// A sale of one line of `article`, paid in cash.
Json Sale(const std::string& article, const std::string& price, const std::string& paid);

// The documents of a journal or paper text, each from its heading to its end line.
std::vector<std::string> Documents(const std::string& text);

}  // namespace servicetest
