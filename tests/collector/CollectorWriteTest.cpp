#include "CollectorRig.h"

#include <filesystem>

namespace velorin {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

// Names the store refuses are listed in its own tests; one stands here for the answer and the log.
TEST_F(CollectorRig, MalformedBodiesAreBadRequestsAndStoreNothing)
{
    const std::string key = Collector::builtInKey;
    const std::string good = encodeBase64("abc");
    const std::vector<std::string> bodies{
        "",
        "not json",
        R"({"token":")" + key + R"(","fileName":"a.ecg","baseData":")" + good + "\"", // cut short
        R"({"token":")" + key + R"(","fileName":"a.ecg"})",
        R"({"token":")" + key + R"(","fileName":"a.ecg","baseData":")" + good + R"(","extra":1})",
        R"({"token":")" + key + R"(","fileName":"a.ecg","baseData":")" + good + R"(","Date":"2017-05-27 14:30:12"})",
        R"({"token":")" + key + R"(","token":")" + key + R"(","fileName":"a.ecg","baseData":")" + good + "\"}",
        R"({"token":5,"fileName":"a.ecg","baseData":")" + good + "\"}",
        R"({"token":")" + key + R"(","fileName":"a.ecg","baseData":{"b":")" + good + "\"}}",
        R"({"token":")" + key + R"(","fileName":"a.ecg","baseData":"YWJ"})",
        R"({"token":")" + key + R"(","fileName":"../a.ecg","baseData":")" + good + "\"}",
        R"({"VUApiKey":")" + key + R"(","Activity":"Walking"})",
        R"({"VUApiKey":")" + key + R"(","Activity":"Walking","Date":"2017-05-27T14:30:12"})",
        R"({"VUApiKey":")" + key + R"(","Activity":"Walking","Date":"2017-05-27 14:30:12","PatientId":1001})",
        R"({"VUApiKey":")" + key + R"(","Activity":"Walking","Date":"2017-05-27 14:30:12","fileName":"a.ecg"})",
        R"({"token":)" + std::string(100000, '[') + std::string(100000, ']') + "}",
        std::string(1000000, '['),
    };
    for (const std::string& body : bodies) {
        const CollectorReply reply = m_collector->writeTicksBase(jsonType, body);
        EXPECT_EQ(reply.status, 400) << body.substr(0, 120);
        EXPECT_FALSE(reply.body.empty());
    }
    EXPECT_EQ(m_collector
                  ->writeTicksBase("text/plain",
                                   R"({"VUApiKey":")" + key + R"(","Activity":"Walking","Date":"2017-05-27 14:30:12"})")
                  .status,
              400);
    EXPECT_TRUE(fs::is_empty(m_store.uploadsDir()));
    EXPECT_FALSE(fs::exists(m_store.eventsFile()));
    EXPECT_FALSE(fs::exists(m_temp.path() + "/a.ecg"));
    EXPECT_EQ(stats()["rejected"], bodies.size() + 1);
    EXPECT_EQ(m_log.lines.size(), bodies.size() + 1);
    EXPECT_TRUE(m_log.contains("400 /Ecg/WriteTicksBase: the file name contains \"..\""));
}

} // namespace
} // namespace velorin
