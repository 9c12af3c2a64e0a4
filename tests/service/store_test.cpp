// The idempotency store: the states a key goes through, a key reused for another request,
// answers that survive a restart, rows a stopped service left running, and the last documents.
#include <gtest/gtest.h>

#include "IdempotencyStore.h"
#include "TestSupport.h"

namespace brontald {
namespace {

class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(store_.Open(path_, &error)) << error;
    }

    testsupport::TempDir dir_;
    std::string path_ = dir_.file("keys.db");
    CIdempotencyStore store_;
    StoredAnswer stored_;
};

TEST(DigestTest, Sha256OfKnownTexts) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST_F(StoreTest, AKeyRunsOnceThenGivesItsAnswer) {
    EXPECT_EQ(store_.Begin("k1", "d1", "main", "receipt", &stored_), KeyState::Started);
    EXPECT_EQ(store_.Begin("k1", "d1", "main", "receipt", &stored_), KeyState::Running);
    EXPECT_EQ(store_.Begin("k1", "d2", "main", "receipt", &stored_), KeyState::Mismatch);
    ASSERT_TRUE(store_.Finish("k1", 200, R"({"committed":true})", 17, "13.08"));
    EXPECT_EQ(store_.Begin("k1", "d1", "main", "receipt", &stored_), KeyState::Replay);
    EXPECT_EQ(stored_.status, 200);
    EXPECT_EQ(stored_.body, R"({"committed":true})");
    EXPECT_EQ(store_.Begin("k1", "d2", "main", "receipt", &stored_), KeyState::Mismatch);
    EXPECT_FALSE(store_.Forget("k1")) << "an answered key stays";
    EXPECT_FALSE(store_.Finish("nobody", 200, "{}"));

    // A request refused before the printer was asked leaves its key free.
    EXPECT_EQ(store_.Begin("k2", "d1", "main", "receipt", &stored_), KeyState::Started);
    EXPECT_TRUE(store_.Forget("k2"));
    EXPECT_EQ(store_.Begin("k2", "d3", "main", "receipt", &stored_), KeyState::Started);
}

TEST_F(StoreTest, UnknownOutcomesWaitForTheirDecisionAcrossARestart) {
    ASSERT_EQ(store_.Begin("lost", "d", "main", "receipt", &stored_), KeyState::Started);
    ASSERT_TRUE(store_.SetBaseline("lost", R"({"receipt":4})"));
    ASSERT_TRUE(store_.MarkUnknown("lost", R"({"total":"1.00"})"));
    EXPECT_EQ(store_.Begin("lost", "d", "main", "receipt", &stored_), KeyState::Pending);
    // Killed while these ran: one had begun its document, one had not.
    ASSERT_EQ(store_.Begin("begun", "d", "main", "receipt", &stored_), KeyState::Started);
    ASSERT_TRUE(store_.SetBaseline("begun", R"({"receipt":5})"));
    ASSERT_EQ(store_.Begin("fresh", "d", "other", "x-report", &stored_), KeyState::Started);

    CIdempotencyStore reopened;
    std::string error;
    ASSERT_TRUE(reopened.Open(path_, &error)) << error;
    const std::vector<StoredRequest> unknown = reopened.Unknown("main");
    ASSERT_EQ(unknown.size(), 2u);
    EXPECT_EQ(unknown[0].key, "lost");
    EXPECT_EQ(unknown[0].baseline, R"({"receipt":4})");
    EXPECT_EQ(unknown[0].partial, R"({"total":"1.00"})");
    EXPECT_EQ(unknown[1].key, "begun");
    EXPECT_EQ(unknown[1].partial, "");
    ASSERT_EQ(reopened.Unknown("other").size(), 1u);
    EXPECT_EQ(reopened.Unknown("other")[0].baseline, "");

    ASSERT_TRUE(reopened.Finish("lost", 200, "{}", 21, "1.00"));
    EXPECT_EQ(reopened.Unknown("main").size(), 1u);
    EXPECT_TRUE(reopened.Answer("lost", &stored_));
    EXPECT_FALSE(reopened.Answer("begun", &stored_));
}

TEST_F(StoreTest, LastDocumentsAreTheCommittedOnesNewestFirst) {
    const char* keys[] = {"a", "b", "c", "d"};
    for (const char* key : keys) {
        ASSERT_EQ(store_.Begin(key, "d", "main", "receipt", &stored_), KeyState::Started);
    }
    ASSERT_TRUE(store_.Finish("a", 200, "{}", 5, "1.00"));
    ASSERT_TRUE(store_.Finish("b", 422, "{}"));  // not committed: no document
    ASSERT_TRUE(store_.Finish("c", 200, "{}", 7, "3.00"));
    ASSERT_EQ(store_.Begin("e", "d", "other", "receipt", &stored_), KeyState::Started);
    ASSERT_TRUE(store_.Finish("e", 200, "{}", 9, "9.00"));
    const std::vector<DocumentRecord> documents = store_.LastDocuments("main", 10);
    ASSERT_EQ(documents.size(), 2u);
    EXPECT_EQ(documents[0].document, 7u);
    EXPECT_EQ(documents[0].total, "3.00");
    EXPECT_EQ(documents[0].operation, "receipt");
    EXPECT_EQ(documents[1].document, 5u);
    EXPECT_EQ(store_.LastDocuments("main", 1).size(), 1u);
    EXPECT_EQ(store_.Purge(30), 0) << "nothing is that old";
}

TEST(StoreOpenTest, AFileThatCannotBeADatabaseIsRefused) {
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir.file("keys.db"), std::string(4096, 'x'));
    CIdempotencyStore store;
    std::string error;
    EXPECT_FALSE(store.Open(dir.file("keys.db"), &error));
    EXPECT_NE(error.find(dir.file("keys.db")), std::string::npos) << error;
    StoredAnswer stored;
    EXPECT_EQ(store.Begin("k", "d", "main", "receipt", &stored), KeyState::Failed);
}

}  // namespace
}  // namespace brontald
