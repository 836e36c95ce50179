#include "net/LoginViewController.h"

#include "net/HttpClient.h"
#include "net/LoginAnswer.h"
#include "platform/Alerts.h"
#include "platform/Log.h"
#include "platform/Queue.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <nlohmann/json.hpp>

#include <array>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace velorin {

using nlohmann::json;

namespace {

struct Refusal {
    std::string_view statusMessage;
    const char* title;
    const char* message;
};

// Compared in this order.
constexpr std::array<Refusal, 3> refusals{{
    {"Login unsuccessful. Username or password are incorrect.", "Login unsuccessful.",
     "Username or password are incorrect."},
    {"User is locked.", "User is locked.", "Login unsuccessful."},
    {"This user requires verification.", "This user requires verification.", "Login unsuccessful."},
}};

// application/x-www-form-urlencoded: an "&", "=" or "+" in a field stays part of that field, and
// text beyond ASCII goes as its UTF-8 bytes.
std::string formEncode(std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
            byte == '*' || byte == '-' || byte == '.' || byte == '_') {
            out += c;
        } else if (byte == ' ') {
            out += '+';
        } else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 0x0F];
        }
    }
    return out;
}

} // namespace

struct LoginViewController::Outcome {
    // A dialog to show (title, message), or else the login was accepted.
    const char* title = nullptr;
    std::string message;
    std::optional<LoginAnswer> answer;

    static Outcome dialog(const char* title, std::string message) { return {title, std::move(message), {}}; }
};

LoginViewController::LoginViewController(LoginContext context)
    : m_context(std::move(context)), m_self(std::make_shared<LoginViewController*>(this))
{
}

void LoginViewController::loginClicked()
{
    if (m_running)
        return;
    m_running = true;
    m_context.view.showProgress();
    // The fields belong to the main queue: their texts are taken here, the login runs with copies.
    const std::string username = m_context.view.username();
    const std::string password = m_context.view.password();
    m_context.backgroundQueue.async(
        [context = m_context, self = std::weak_ptr(m_self), username, password] {
            Outcome outcome;
            try {
                outcome = attempt(context, username, password);
            } catch (const std::exception& error) {
                context.log.line(std::string("Exception: ") + error.what());
                outcome = Outcome::dialog(failedTitle, raised);
            }
            context.mainQueue.async([self, outcome = std::move(outcome)] {
                if (const auto controller = self.lock())
                    (*controller)->conclude(outcome);
            });
        });
}

LoginViewController::Outcome LoginViewController::attempt(const LoginContext& context, const std::string& username,
                                                          const std::string& password)
{
    if (username.empty() || password.empty())
        return Outcome::dialog(failedTitle, emptyFields);

    HttpRequest request;
    request.method = "POST";
    request.url = context.loginUrl;
    request.body = "Username=" + formEncode(username) + "&Password=" + formEncode(password);
    // The log is no place for a password.
    context.log.line("PostData: Username=" + formEncode(username) + "&Password=********");
    request.headers = {{"Content-Length", std::to_string(request.body.size())},
                       {"Accept", "application/json"},
                       {"Content-Type", "application/x-www-form-urlencoded"}};
    request.timeout = requestTimeout;

    const HttpResponse response = context.http.sendBlocking(request);
    context.log.line("Response code: " + std::to_string(response.status));
    if (!response.success()) {
        if (!response.error.empty())
            context.log.line("Error: " + response.error);
        return Outcome::dialog(failedTitle, noAnswer);
    }

    json parsed;
    try {
        parsed = json::parse(response.body);
    } catch (const json::exception& error) {
        // Also a number beyond what a double holds (an Id of a thousand digits): nothing is stored.
        context.log.line(std::string("The login answer cannot be read: ") + error.what());
        return Outcome::dialog(failedTitle, notJson);
    }
    if (!parsed.is_object())
        throw std::runtime_error("the login answer is not a JSON object");
    if (const auto status = parsed.find("StatusMessage"); status != parsed.end() && status->is_string()) {
        for (const Refusal& refusal : refusals)
            if (status->get_ref<const std::string&>() == refusal.statusMessage)
                return Outcome::dialog(refusal.title, refusal.message);
    }
    // Checked in full here, before the main queue stores any of it.
    Outcome accepted;
    accepted.answer = LoginAnswer::read(parsed, response.body);
    if (!accepted.answer->id) {
        // Nothing names the patient whose recordings these would be: nothing is stored.
        context.log.line("The login answer has no Id: nothing was stored");
        return Outcome::dialog("Login unsuccessful.", "Login unsuccessful.");
    }
    context.log.line("Login SUCCESS");
    return accepted;
}

void LoginViewController::conclude(const Outcome& outcome)
{
    bool loggedIn = false;
    if (outcome.title) {
        alertStatus(outcome.message, outcome.title);
    } else {
        if (outcome.answer->id)
            loggedIn = store(*outcome.answer);
        m_context.view.closeLogin();
    }
    m_context.view.hideProgress();
    m_running = false;
    if (m_finished)
        m_finished(loggedIn);
}

bool LoginViewController::store(const LoginAnswer& answer)
{
    SettingsStore& settings = m_context.settings;
    auto setOrRemove = [&settings](std::string_view key, const auto& value) {
        if (value)
            settings.set(key, *value);
        else
            settings.remove(key);
    };
    settings.setBool(keys::loggedIn, true);
    setOrRemove(keys::token, answer.token);
    setOrRemove(keys::fileServers, answer.fileServers);
    setOrRemove(keys::markedServer, answer.collectionServer);
    setOrRemove(keys::VUApiKey, answer.vuApiKey);
    setOrRemove(keys::PatientId, answer.id);
    return settings.flush();
}

void LoginViewController::dontHaveAccount()
{
    m_context.settings.setBool(keys::loggedIn, true);
    m_context.settings.flush();
    m_context.view.closeLogin();
}

void LoginViewController::backgroundClick()
{
    m_context.view.endEditing();
}

void LoginViewController::textFieldShouldReturn()
{
    m_context.view.endEditing();
}

void LoginViewController::alertStatus(const std::string& message, const std::string& title)
{
    m_context.alerts.show({title, message, "OK", {}, false}, {});
}

} // namespace velorin
