#include "ServiceFixture.h"

#include <httplib.h>
#include <signal.h>
#include <stdlib.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "ChildProcess.h"
#include "ComponentClient.h"
#include "Registry.h"

namespace servicetest {

namespace {

// Far beyond what a start or a stop takes; only a hung service meets it.
constexpr int kPatienceSeconds = 60;

std::string Trim(const std::string& text) {
    const size_t start = text.find_first_not_of(' ');
    const size_t end = text.find_last_not_of(' ');
    return start == std::string::npos ? std::string() : text.substr(start, end - start + 1);
}

}  // namespace

std::string BrontaldPath() {
    return std::string(BRONTAL_BINARY_DIR) + "/bin/brontald";
}

ServiceProcess::~ServiceProcess() {
    if (pid_ > 0) {
        Kill();
    }
}

bool ServiceProcess::Start(const std::vector<std::string>& arguments, const std::string& folder,
                           std::string* error) {
    static int started = 0;
    const std::string outFile = folder + "/brontald-" + std::to_string(++started) + ".out";
    errFile_ = folder + "/brontald-" + std::to_string(started) + ".err";
    pid_ = testsupport::SpawnProgram(BrontaldPath(), arguments, outFile, errFile_);
    if (pid_ <= 0) {
        *error = "cannot start " + BrontaldPath();
        return false;
    }
    static const std::regex listening(R"(listening on http://[^:]+:(\d+))");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPatienceSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        std::smatch match;
        const std::string out = testsupport::ReadFileBytes(outFile);
        if (std::regex_search(out, match, listening)) {
            port_ = std::stoi(match[1]);
            return true;
        }
        if (testsupport::WaitForChild(pid_, 0) != testsupport::kChildRunning) {
            pid_ = -1;
            *error = "brontald ended: " + ErrorOutput();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Kill();
    *error = "brontald did not start listening";
    return false;
}

int ServiceProcess::Stop() {
    if (pid_ <= 0) {
        return -1;
    }
    kill(pid_, SIGTERM);
    const int status = testsupport::WaitForChild(pid_, kPatienceSeconds);
    if (status == testsupport::kChildRunning) {
        ADD_FAILURE() << "brontald did not stop within " << kPatienceSeconds << " s; killed";
        Kill();
        return -1;
    }
    pid_ = -1;
    return status;
}

void ServiceProcess::Kill() {
    testsupport::KillChild(pid_);
    pid_ = -1;
}

std::string ServiceProcess::ErrorOutput() const {
    return testsupport::ReadFileBytes(errFile_);
}

Reply Request(int port, const std::string& method, const std::string& path, const std::string& body,
              const std::map<std::string, std::string>& headers, int patienceMs) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(patienceMs / 1000, (patienceMs % 1000) * 1000);
    client.set_connection_timeout(10, 0);
    httplib::Headers sent;
    for (const auto& [name, value] : headers) {
        sent.emplace(name, value);
    }
    httplib::Result result = method == "GET" ? client.Get(path, sent)
                                             : client.Post(path, sent, body, "application/json");
    Reply reply;
    if (!result) {
        return reply;
    }
    reply.status = result->status;
    reply.text = result->body;
    reply.body = Json::parse(result->body, nullptr, false);
    if (reply.body.is_discarded()) {
        reply.body = nullptr;
    }
    return reply;
}

void ServiceTest::SetUp() {
    const testsupport::ProgramRun run = client::RunRegsvr({"-s", client::ComponentPath()});
    ASSERT_EQ(run.exitCode, 0) << run.out;
    testsupport::WriteRetryCount(3);
    char shm[] = "/dev/shm/brontald-test-XXXXXX";
    databaseDir_ = mkdtemp(shm) ? shm : work_.path();
    printer_.SetPaperFile(work_.file("paper.txt"));
    printer_.SetReportTime(0);
    ASSERT_EQ(printer_.Start(), 0);
    comPort_ = printer_.RegisterPort();
    ASSERT_GT(comPort_, 0);
    StartService();
}

void ServiceTest::TearDown() {
    StopService();
    printer_.Stop();
    if (!databaseDir_.empty() && databaseDir_ != work_.path()) {
        std::error_code ignored;
        std::filesystem::remove_all(databaseDir_, ignored);
    }
}

void ServiceTest::StartService(const std::vector<std::string>& extra) {
    std::vector<std::string> arguments = {"--printer",  "main=COM" + std::to_string(comPort_),
                                          "--port",     "0",
                                          "--database", Database()};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::string error;
    ASSERT_TRUE(service_.Start(arguments, work_.path(), &error)) << error;
}

void ServiceTest::StopService() {
    if (service_.Running()) {
        EXPECT_EQ(service_.Stop(), 0) << service_.ErrorOutput();
    }
}

Reply ServiceTest::Post(const std::string& path, const Json& body, const std::string& key) {
    std::map<std::string, std::string> headers;
    if (!key.empty()) {
        headers["Idempotency-Key"] = key;
    }
    return Request(service_.Port(), "POST", path, body.dump(), headers);
}

Reply ServiceTest::Get(const std::string& path) {
    return Request(service_.Port(), "GET", path);
}

std::string ServiceTest::Paper() const {
    return testsupport::Utf8(testsupport::ReadFileBytes(work_.file("paper.txt")));
}

std::string ServiceTest::Journal(uint32_t day) const {
    return testsupport::Utf8(printer_.SessionJournal(day));
}

size_t ServiceTest::ExecutedRequests() const {
    return printer_.Requests().size();
}

bool ServiceTest::WaitForRequest(const std::string& code, unsigned timeoutMs) const {
    for (unsigned waited = 0; waited < timeoutMs; waited += 10) {
        for (const emu::ReceivedFrame& frame : printer_.Frames()) {
            if (frame.checkOk && frame.payload.compare(0, code.size(), code) == 0) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

Json Sale(const std::string& article, const std::string& price, const std::string& paid) {
    return {{"lines", {{{"article", article}, {"price", price}, {"department", 1}}}},
            {"payments", {{{"kind", "cash"}, {"amount", paid}}}}};
}

std::vector<std::string> Documents(const std::string& text) {
    std::vector<std::string> documents;
    std::string current;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string line = text.substr(start, end - start);
        current += line + "\n";
        const std::string trimmed = Trim(line);
        if (trimmed == "ФИСКАЛЬНЫЙ ДОКУМЕНТ" || trimmed == "НЕФИСКАЛЬНЫЙ ДОКУМЕНТ" ||
            trimmed == "*** ДОКУМЕНТ АННУЛИРОВАН ***") {
            documents.push_back(current);
            current.clear();
        }
        start = end + 1;
    }
    return documents;
}

}  // namespace servicetest
