#pragma once

// A Collector on a fresh data directory with three accounts, and helpers to build its requests.

#include "Collector.h"
#include "fakes/FakeLog.h"
#include "fakes/TempDir.h"
#include "net/Base64.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>

namespace velorin {

class CollectorRig : public ::testing::Test {
protected:
    static constexpr const char* form = "application/x-www-form-urlencoded";
    static constexpr const char* jsonType = "application/json; charset=utf-8";

    TempDir m_temp{"velorin-collector"};
    UploadStore m_store{m_temp.path()};
    FakeLog m_log;
    std::unique_ptr<Collector> m_collector;

    void SetUp() override
    {
        ASSERT_TRUE(m_store.prepare().ok);
        m_collector =
            std::make_unique<Collector>("127.0.0.1:8092",
                                        std::vector<CollectorUser>{{"ana", "s3cr&t=1 +", CollectorUser::State::active},
                                                                   {"bo", "pw", CollectorUser::State::locked},
                                                                   {"cy", "pw", CollectorUser::State::unverified}},
                                        12345, m_store, m_log);
    }

    CollectorReply login(const std::string& body) { return m_collector->login(form, body); }
    CollectorReply write(const nlohmann::json& body) { return m_collector->writeTicksBase(jsonType, body.dump()); }
    CollectorReply upload(const std::string& token, const std::string& name, const std::string& bytes)
    {
        return write({{"token", token}, {"fileName", name}, {"baseData", encodeBase64(bytes)}});
    }
    CollectorReply event(const std::string& key, const std::string& activity = "Walking")
    {
        return write(
            {{"VUApiKey", key}, {"Activity", activity}, {"PatientId", "1001"}, {"Date", "2017-05-27 14:30:12"}});
    }
    nlohmann::json stats() { return nlohmann::json::parse(m_collector->stats().body); }
    std::string stored(const std::string& name)
    {
        std::ifstream in(m_store.uploadsDir() + "/" + name, std::ios::binary);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("<missing>");
    }
};

} // namespace velorin
