#include "Collector.h"

#include "FlatObject.h"
#include "FormBody.h"
#include "net/Base64.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <random>

namespace velorin {

namespace {

using Json = nlohmann::ordered_json;

const std::string textType = "text/plain; charset=utf-8";

// The media type without its parameters, in lower case: "Application/JSON; charset=utf-8" is JSON.
std::string mediaType(std::string_view contentType)
{
    std::string type(contentType.substr(0, contentType.find(';')));
    type.erase(std::remove_if(type.begin(), type.end(), [](unsigned char c) { return std::isspace(c); }), type.end());
    std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::tolower(c); });
    return type;
}

std::string newKey(std::mt19937_64& random)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string key;
    while (key.size() < 20) {
        std::uint64_t bits = random();
        for (int i = 0; i < 16 && key.size() < 20; ++i, bits >>= 4)
            key += digits[bits & 15];
    }
    return key;
}

// The members an upload or an event may have.
constexpr std::array<std::string_view, 7> knownMembers{"token",    "fileName",  "baseData", "VUApiKey",
                                                       "Activity", "PatientId", "Date"};

// "yyyy-MM-dd HH:mm:ss", the form the recorder's events carry their local time in.
bool looksLikeEventDate(const std::string& text)
{
    static constexpr std::string_view shape = "dddd-dd-dd dd:dd:dd";
    if (text.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(text[i])) : text[i] != shape[i])
            return false;
    return true;
}

CollectorReply json(const Json& value)
{
    return {200, value.dump(), "application/json; charset=utf-8"};
}

} // namespace

Collector::Collector(std::string ownAddress, const std::vector<CollectorUser>& users, std::uint64_t keySeed,
                     UploadStore& store, Log& log)
    : m_ownAddress(std::move(ownAddress)), m_store(store), m_log(log)
{
    std::mt19937_64 random(keySeed);
    std::unordered_set<std::string> drawn{builtInKey};
    auto distinctKey = [&] {
        std::string key;
        do
            key = newKey(random);
        while (!drawn.insert(key).second);
        return key;
    };
    for (std::size_t i = 0; i < users.size(); ++i) {
        Account account{users[i], std::to_string(1001 + i), {}, {}};
        account.token = distinctKey();
        account.key = distinctKey();
        m_accounts.push_back(std::move(account));
    }
}

CollectorReply Collector::reject(int status, std::string_view where, const std::string& reason)
{
    m_rejected.fetch_add(1, std::memory_order_relaxed);
    m_log.line(std::to_string(status) + " " + std::string(where) + ": " + reason);
    return {status, reason + "\n", textType};
}

void Collector::countInjected(FaultInjector::Fault fault)
{
    if (fault == FaultInjector::Fault::fail)
        m_failed.fetch_add(1, std::memory_order_relaxed);
    else if (fault == FaultInjector::Fault::empty)
        m_emptied.fetch_add(1, std::memory_order_relaxed);
}

CollectorReply Collector::login(std::string_view contentType, std::string_view body)
{
    constexpr std::string_view where = "/api/login";
    if (mediaType(contentType) != "application/x-www-form-urlencoded")
        return reject(400, where, "the login expects an application/x-www-form-urlencoded body");
    const FormBody form = parseFormBody(body);
    if (!form.ok())
        return reject(400, where, form.error);
    const auto name = form.fields.find("Username");
    const auto password = form.fields.find("Password");
    if (name == form.fields.end() || password == form.fields.end())
        return reject(400, where, "the login form needs the fields Username and Password");

    const auto account = std::find_if(m_accounts.begin(), m_accounts.end(),
                                      [&](const Account& a) { return a.user.name == name->second; });
    // The password is checked before the account's state, so a refusal says nothing about an account
    // to someone who does not know its password.
    const char* refusal = nullptr;
    if (account == m_accounts.end() || account->user.password != password->second)
        refusal = refusedCredentials;
    else if (account->user.state == CollectorUser::State::locked)
        refusal = refusedLocked;
    else if (account->user.state == CollectorUser::State::unverified)
        refusal = refusedUnverified;
    if (refusal) {
        m_refusedLogins.fetch_add(1, std::memory_order_relaxed);
        m_log.line("Login of \"" + name->second + "\" refused: " + refusal);
        return json(Json{{"StatusMessage", refusal}});
    }
    {
        std::lock_guard lock(m_mutex);
        m_tokens.insert(account->token);
        m_keys.insert(account->key);
    }
    m_logins.fetch_add(1, std::memory_order_relaxed);
    m_log.line("Login of \"" + name->second + "\"");
    // Addresses without a scheme: the recorder puts "http://" before each.
    const std::string writeAddress = m_ownAddress + writePath;
    return json(Json{{"StatusMessage", accepted},
                     {"Id", account->id},
                     {"Token", account->token},
                     {"FileServers", Json::array({writeAddress})},
                     {"CollectionServer", writeAddress},
                     {"VUApiKey", account->key}});
}

CollectorReply Collector::writeTicksBase(std::string_view contentType, std::string_view body)
{
    if (mediaType(contentType) != "application/json")
        return reject(400, writePath, "uploads and events are application/json bodies");
    FlatObject parsed = parseFlatObject(body, knownMembers);
    if (!parsed.problem.empty())
        return reject(400, writePath, parsed.problem);
    const Json& object = parsed.value;
    for (const auto& [member, value] : object.items())
        if (!value.is_string())
            return reject(400, writePath, "the member \"" + member + "\" is not text");
    // References, not copies: baseData may be most of 16 MiB.
    static const std::string none;
    auto text = [&](const char* member) -> const std::string& {
        return object.contains(member) ? object.at(member).get_ref<const std::string&>() : none;
    };

    if (object.contains("VUApiKey")) {
        for (const char* member : {"token", "fileName", "baseData"})
            if (object.contains(member))
                return reject(400, writePath, std::string("an event with the upload member \"") + member + "\"");
        if (!object.contains("Activity") || !object.contains("Date"))
            return reject(400, writePath, "an event needs VUApiKey, Activity and Date");
        if (!looksLikeEventDate(text("Date")))
            return reject(400, writePath, "the event's Date is not \"yyyy-MM-dd HH:mm:ss\"");
        return event(object.dump(), text("VUApiKey"), text("Activity"));
    }
    if (!object.contains("token") || !object.contains("fileName") || !object.contains("baseData"))
        return reject(400, writePath, "an upload needs token, fileName and baseData, an event VUApiKey");
    for (const char* member : {"Activity", "PatientId", "Date"})
        if (object.contains(member))
            return reject(400, writePath, std::string("an upload with the event member \"") + member + "\"");
    return upload(text("token"), text("fileName"), text("baseData"));
}

CollectorReply Collector::upload(const std::string& token, const std::string& fileName, const std::string& baseData)
{
    if (const auto problem = UploadStore::nameProblem(fileName))
        return reject(400, writePath, *problem);
    std::optional<std::string> bytes = decodeBase64(baseData);
    if (!bytes)
        return reject(400, writePath, "baseData of " + fileName + " is not standard Base64 with padding");
    if (!validToken(token))
        return reject(403, writePath, "the upload of " + fileName + " carries an unknown token");

    const UploadStore::Outcome outcome = m_store.store(fileName, *bytes);
    const std::string size = std::to_string(bytes->size()) + " bytes";
    const char* result = "stored";
    switch (outcome.kind) {
    case UploadStore::Outcome::Kind::stored:
        m_uploads.fetch_add(1, std::memory_order_relaxed);
        m_log.line("Stored " + fileName + " (" + size + ")");
        break;
    case UploadStore::Outcome::Kind::part:
        m_parts.fetch_add(1, std::memory_order_relaxed);
        m_log.line("Stored " + outcome.storedAs + " (" + size + "), a further part of " + fileName);
        result = "part";
        break;
    case UploadStore::Outcome::Kind::duplicate:
        m_duplicates.fetch_add(1, std::memory_order_relaxed);
        m_log.line("Duplicate of " + outcome.storedAs + " (" + size + ")");
        result = "duplicate";
        break;
    case UploadStore::Outcome::Kind::failed:
        m_log.line("500 " + std::string(writePath) + ": cannot store " + fileName + ": " + outcome.error);
        return {500, "cannot store the upload\n", textType};
    }
    return json(Json{{"result", result}, {"fileName", fileName}, {"storedAs", outcome.storedAs}});
}

CollectorReply Collector::event(const std::string& line, const std::string& key, const std::string& activity)
{
    if (!validKey(key))
        return reject(403, writePath, "the event carries an unknown VUApiKey");
    if (const FileResult appended = m_store.appendEvent(line); !appended.ok) {
        m_log.line("500 " + std::string(writePath) + ": cannot keep the event: " + appended.error);
        return {500, "cannot keep the event\n", textType};
    }
    m_events.fetch_add(1, std::memory_order_relaxed);
    m_log.line("Event \"" + activity + "\"");
    return json(Json{{"result", "event"}, {"Activity", activity}});
}

bool Collector::validToken(const std::string& token) const
{
    std::lock_guard lock(m_mutex);
    return token == builtInKey || m_tokens.count(token) > 0;
}

bool Collector::validKey(const std::string& key) const
{
    std::lock_guard lock(m_mutex);
    return key == builtInKey || m_keys.count(key) > 0;
}

CollectorReply Collector::stats() const
{
    auto count = [](const std::atomic<std::uint64_t>& c) { return c.load(std::memory_order_relaxed); };
    return json(Json{{"uploads", count(m_uploads)},
                     {"parts", count(m_parts)},
                     {"duplicates", count(m_duplicates)},
                     {"events", count(m_events)},
                     {"rejected", count(m_rejected)},
                     {"logins", count(m_logins)},
                     {"refusedLogins", count(m_refusedLogins)},
                     {"injectedFailures", count(m_failed)},
                     {"injectedEmpty", count(m_emptied)}});
}

} // namespace velorin
