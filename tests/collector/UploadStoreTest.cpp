#include "UploadStore.h"
#include "fakes/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace velorin {
namespace {

namespace fs = std::filesystem;
using Kind = UploadStore::Outcome::Kind;

class UploadStoreTest : public ::testing::Test {
protected:
    TempDir m_temp{"velorin-store"};
    std::string m_data = m_temp.path() + "/data";
    UploadStore m_store{m_data};

    void SetUp() override { ASSERT_TRUE(m_store.prepare().ok); }
};

// Duplicates and further parts under concurrent senders are counted and stored in the collector's
// end-to-end burst; here, what stands in the directory already.
//
// What the store knows of a name is read from the directory once; parts an earlier run left, and a
// file put under a part's name since, count all the same.
TEST_F(UploadStoreTest, PartsThisStoreDidNotWriteCountAllTheSame)
{
    const std::string dir = m_temp.path() + "/restarted";
    {
        UploadStore earlier(dir);
        ASSERT_TRUE(earlier.prepare().ok);
        earlier.store("n.ecg", "first");
        earlier.store("n.ecg", "second");
    }
    UploadStore later(dir);
    ASSERT_TRUE(later.prepare().ok);
    EXPECT_EQ(later.store("n.ecg", "second").storedAs, "n.ecg~1");
    EXPECT_EQ(later.store("n.ecg", "third").storedAs, "n.ecg~2");

    std::ofstream(later.uploadsDir() + "/n.ecg~3") << "by hand";
    const auto next = later.store("n.ecg", "fourth");
    EXPECT_EQ(next.kind, Kind::part);
    EXPECT_EQ(next.storedAs, "n.ecg~4");
    const auto copy = later.store("n.ecg", "by hand");
    EXPECT_EQ(copy.kind, Kind::duplicate);
    EXPECT_EQ(copy.storedAs, "n.ecg~3");
    std::ifstream in(later.uploadsDir() + "/n.ecg~3");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "by hand");
}

TEST_F(UploadStoreTest, WhatStandsUnderANameIsNeitherFollowedNorReplaced)
{
    const std::string outside = m_temp.path() + "/outside";
    std::ofstream(outside) << "abc";
    fs::create_symlink(outside, m_store.uploadsDir() + "/linked.ecg");

    // The link's target holds the same bytes, but the link is no upload of ours.
    auto linked = m_store.store("linked.ecg", "abc");
    EXPECT_EQ(linked.kind, Kind::part);
    EXPECT_EQ(linked.storedAs, "linked.ecg~1");

    EXPECT_TRUE(fs::is_symlink(m_store.uploadsDir() + "/linked.ecg"));
    std::ifstream in(outside);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "abc");
}

TEST_F(UploadStoreTest, NamesThatLeaveUploadsOrLookLikePartsAreRefused)
{
    for (const std::string& name :
         std::vector<std::string>{"", ".", "..", "../x.ecg", "a/b.ecg", "a\\b.ecg", "x.ecg~12", std::string("a\0b", 3),
                                  "new\nline", std::string(UploadStore::maxNameBytes + 1, 'n')})
        EXPECT_TRUE(UploadStore::nameProblem(name)) << name;
    for (const std::string& name :
         std::vector<std::string>{"2017-05-27_143000_41.996100_21.431500.ecg", "x.ecg~", "caf\xC3\xA9.ecg",
                                  std::string(UploadStore::maxNameBytes, 'n')})
        EXPECT_FALSE(UploadStore::nameProblem(name)) << name;
}

TEST(UploadStorePrepare, LeftoversAreCleared)
{
    // A killed run's half-written upload is cleared; stored files stay.
    TempDir temp("velorin-store");
    const std::string killed = temp.path() + "/killed";
    fs::create_directories(killed + "/.incoming");
    fs::create_directories(killed + "/uploads");
    std::ofstream(killed + "/.incoming/upload-AbC123") << "half";
    std::ofstream(killed + "/uploads/kept.ecg") << "whole";
    EXPECT_TRUE(UploadStore(killed).prepare().ok);
    EXPECT_TRUE(fs::is_empty(killed + "/.incoming"));
    EXPECT_TRUE(fs::exists(killed + "/uploads/kept.ecg"));
}

} // namespace
} // namespace velorin
