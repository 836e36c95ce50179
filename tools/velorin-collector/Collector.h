#pragma once

#include "CollectorOptions.h"
#include "FaultInjector.h"
#include "UploadStore.h"
#include "platform/Log.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace velorin {

struct CollectorReply {
    int status = 200;
    std::string body;
    std::string contentType = "application/json; charset=utf-8";
};

// What the collector answers, without sockets: the login, uploads and events, and its counters.
// Every member function may be called from many threads at once.
class Collector {
public:
    static constexpr const char* builtInKey = "5d07e1b94c2a4f86b3e0";
    static constexpr const char* writePath = "/Ecg/WriteTicksBase";
    // The texts the recorder's login compares, one for each way a login is turned down.
    static constexpr const char* refusedCredentials = "Login unsuccessful. Username or password are incorrect.";
    static constexpr const char* refusedLocked = "User is locked.";
    static constexpr const char* refusedUnverified = "This user requires verification.";
    static constexpr const char* accepted = "Login successful.";

    // ownAddress is "127.0.0.1:PORT", where the login sends uploads and events. Each account gets its
    // own token and event key, drawn from keySeed; they are valid from its first login on.
    Collector(std::string ownAddress, const std::vector<CollectorUser>& users, std::uint64_t keySeed,
              UploadStore& store, Log& log);

    CollectorReply login(std::string_view contentType, std::string_view body);
    // An upload (token, fileName, baseData) or an event (VUApiKey, Activity, PatientId, Date).
    CollectorReply writeTicksBase(std::string_view contentType, std::string_view body);
    CollectorReply stats() const;

    // A request turned down before it reached the handlers above (a body over the size limit):
    // logged and counted like theirs.
    CollectorReply reject(int status, std::string_view where, const std::string& reason);
    void countInjected(FaultInjector::Fault fault);

private:
    struct Account {
        CollectorUser user;
        std::string id;
        std::string token;
        std::string key;
    };

    CollectorReply upload(const std::string& token, const std::string& fileName, const std::string& baseData);
    CollectorReply event(const std::string& line, const std::string& key, const std::string& activity);
    bool validToken(const std::string& token) const;
    bool validKey(const std::string& key) const;

    std::string m_ownAddress;
    std::vector<Account> m_accounts;
    UploadStore& m_store;
    Log& m_log;

    // Tokens and keys count only once the login has handed them out.
    mutable std::mutex m_mutex;
    std::unordered_set<std::string> m_tokens;
    std::unordered_set<std::string> m_keys;

    // Counters only, never a history of requests: a flood costs no memory.
    std::atomic<std::uint64_t> m_uploads{0};
    std::atomic<std::uint64_t> m_parts{0};
    std::atomic<std::uint64_t> m_duplicates{0};
    std::atomic<std::uint64_t> m_events{0};
    std::atomic<std::uint64_t> m_rejected{0};
    std::atomic<std::uint64_t> m_logins{0};
    std::atomic<std::uint64_t> m_refusedLogins{0};
    std::atomic<std::uint64_t> m_failed{0};
    std::atomic<std::uint64_t> m_emptied{0};
};

} // namespace velorin
