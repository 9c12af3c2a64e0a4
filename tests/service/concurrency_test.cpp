// Many tills on one printer: 8 clients send their receipts at once, then the same while the
// printer spoils about one frame in twenty and clients drop their HTTP connections and send
// again under their keys. The printer's journal must hold every receipt exactly once, each in a
// document of its own.
//
// BRONTALD_STRESS_RECEIPTS sets the receipts per client (CI default below; the issue's figure
// is 50).
#include <atomic>
#include <iostream>
#include <cstdlib>
#include <mutex>
#include <random>
#include <regex>
#include <set>
#include <thread>

#include "ServiceFixture.h"

namespace servicetest {
namespace {

constexpr int kClients = 8;
constexpr int kDefaultReceipts = 50;
constexpr int kDefaultFaultedReceipts = 12;
constexpr int kMaxAttempts = 200;

int ReceiptsPerClient(int fallback) {
    const char* given = std::getenv("BRONTALD_STRESS_RECEIPTS");
    const int receipts = given ? std::atoi(given) : 0;
    return receipts > 0 ? receipts : fallback;
}

std::string ReceiptId(int client, int receipt) {
    return "R" + std::to_string(client) + "-" + std::to_string(receipt);
}

Json TwoLineReceipt(const std::string& id, int cents) {
    return {{"lines",
             {{{"article", id + " A"}, {"price", std::to_string(cents) + ".01"}},
              {{"article", id + " B"}, {"price", "0.99"}, {"quantity", 2}, {"department", 2}}}},
            {"payments", {{{"kind", "cash"}, {"amount", std::to_string(cents + 5)}}}}};
}

class ConcurrencyTest : public ServiceTest {
  protected:
    // What the clients were told: receipt id -> document number.
    std::map<std::string, uint32_t> committed_;
    std::mutex mutex_;
    std::vector<std::string> failures_;

    void Fail(const std::string& what) {
        std::lock_guard<std::mutex> lock(mutex_);
        failures_.push_back(what);
    }

    void Committed(const std::string& id, const Reply& reply) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (committed_.count(id)) {
            failures_.push_back(id + " committed twice by the answers");
        }
        committed_[id] = reply.body["document_number"].get<uint32_t>();
    }

    // Every receipt in exactly one committed document of its own, with both its lines once,
    // under the number its client was told.
    void ExpectJournalHoldsEachReceiptOnce(int receipts) {
        static const std::regex article(R"(^(R\d+-\d+) ([AB])$)");
        static const std::regex number(R"(ДОК\. (\d+))");
        std::map<std::string, int> seen;
        for (const std::string& document : Documents(Journal(1))) {
            if (document.find("ДОКУМЕНТ АННУЛИРОВАН") != std::string::npos ||
                document.find("ЧЕК ПРОДАЖИ") == std::string::npos) {
                continue;
            }
            std::set<std::string> ids;
            std::multiset<std::string> lines;
            size_t start = 0;
            while (start < document.size()) {
                const size_t end = document.find('\n', start);
                const std::string line = document.substr(start, end - start);
                std::smatch match;
                if (std::regex_match(line, match, article)) {
                    ids.insert(match[1]);
                    lines.insert(line);
                }
                start = end + 1;
            }
            ASSERT_EQ(ids.size(), 1u) << "receipts interleaved or missing in\n" << document;
            const std::string id = *ids.begin();
            EXPECT_EQ(lines.size(), 2u) << "a line printed twice or lost in\n" << document;
            ++seen[id];
            std::smatch match;
            ASSERT_TRUE(std::regex_search(document, match, number)) << document;
            EXPECT_EQ(committed_[id], std::stoul(match[1])) << id;
        }
        EXPECT_EQ(seen.size(), static_cast<size_t>(kClients * receipts));
        for (const auto& [id, count] : seen) {
            EXPECT_EQ(count, 1) << id << " committed " << count << " times";
        }
        EXPECT_EQ(committed_.size(), static_cast<size_t>(kClients * receipts));
        EXPECT_EQ(printer_.State().counters.receipt, static_cast<uint32_t>(kClients * receipts));
        EXPECT_EQ(printer_.StatusWord() & 0x0002, 0) << "a receipt is left open";
    }

    template <typename Client>
    void RunClients(Client client) {
        std::vector<std::thread> threads;
        for (int c = 0; c < kClients; ++c) {
            threads.emplace_back(client, c);
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
};

TEST_F(ConcurrencyTest, EightClientsAtOnceNeitherInterleaveNorLoseNorDuplicateReceipts) {
    const int receipts = ReceiptsPerClient(kDefaultReceipts);
    RunClients([&](int c) {
        for (int r = 0; r < receipts; ++r) {
            const std::string id = ReceiptId(c, r);
            const Reply reply = Post("/printers/main/receipts", TwoLineReceipt(id, r), id);
            if (reply.status != 200 || reply.body["committed"] != true) {
                Fail(id + ": " + std::to_string(reply.status) + " " + reply.text);
                continue;
            }
            Committed(id, reply);
        }
    });
    EXPECT_TRUE(failures_.empty()) << failures_.size() << " failed, first: " << failures_[0];
    ExpectJournalHoldsEachReceiptOnce(receipts);
}

TEST_F(ConcurrencyTest, FaultedFramesAndDroppedConnectionsStillGiveEachReceiptOnce) {
    const int receipts = ReceiptsPerClient(kDefaultFaultedReceipts);
    // About one request frame in twenty gets a fault, of every kind a line shows.
    std::atomic<bool> stop{false};
    std::atomic<int> injected{0};
    std::thread injector([&] {
        std::mt19937 random(20261208);
        const emu::FaultKind kinds[] = {emu::FaultKind::BadCheckByte, emu::FaultKind::LostReply,
                                        emu::FaultKind::Nak, emu::FaultKind::WrongSequence,
                                        emu::FaultKind::Noise};
        size_t next = printer_.Frames().size();
        while (!stop) {
            next += 10 + random() % 21;
            while (!stop && !printer_.WaitForFrames(next, 100)) {
            }
            emu::Fault fault;
            fault.kind = kinds[random() % 5];
            fault.bytes = "\x01\x7F noise";
            if (!stop && printer_.InjectFault(fault) == 0) {
                ++injected;
            }
        }
    });
    std::atomic<int> dropped{0};
    std::atomic<int> resent{0};
    RunClients([&](int c) {
        std::mt19937 random(static_cast<unsigned>(c));
        for (int r = 0; r < receipts; ++r) {
            const std::string id = ReceiptId(c, r);
            int attempt = 0;
            bool done = false;
            for (int tries = 0; !done && tries < kMaxAttempts; ++tries) {
                const std::string key = id + "/" + std::to_string(attempt);
                // One request in ten gives up waiting and drops its connection.
                const int patienceMs = random() % 10 == 0 ? 50 : 120000;
                const Reply reply =
                    Request(service_.Port(), "POST", "/printers/main/receipts",
                            TwoLineReceipt(id, r).dump(), {{"Idempotency-Key", key}}, patienceMs);
                if (reply.status == 200 && reply.body["committed"] == true) {
                    Committed(id, reply);
                    done = true;
                } else if (reply.status == 0 || reply.status == 409 || reply.status == 503) {
                    // Dropped, still running, or not known yet: the same key again.
                    dropped += reply.status == 0;
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                } else if ((reply.status == 502 || reply.status == 422) &&
                           reply.body["committed"] == false) {
                    ++attempt;  // not committed: the receipt again, as a new request
                    ++resent;
                } else {
                    Fail(id + ": " + std::to_string(reply.status) + " " + reply.text);
                    break;
                }
            }
            if (!done) {
                Fail(id + ": never committed");
            }
        }
    });
    stop = true;
    injector.join();
    printer_.ClearFaults();
    EXPECT_TRUE(failures_.empty()) << failures_.size() << " failed, first: " << failures_[0];
    const size_t frames = printer_.Frames().size();
    EXPECT_GT(injected * 30, static_cast<int>(frames)) << "fewer faults than planned";
    std::cout << "[ figures  ] " << kClients * receipts << " receipts, " << frames << " frames, "
              << injected << " faults, " << dropped << " dropped connections, " << resent
              << " receipts sent again after not committed\n";
    ExpectJournalHoldsEachReceiptOnce(receipts);
}

}  // namespace
}  // namespace servicetest
