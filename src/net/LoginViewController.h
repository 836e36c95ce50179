#pragma once

#include "net/LoginView.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace velorin {

class Alerts;
class HttpClient;
class Log;
class Queue;
class SettingsStore;
struct LoginAnswer;

// What the login screen needs of the world.
struct LoginContext {
    Queue& mainQueue;
    // Serial, off the main queue: the login waits there for its answer.
    Queue& backgroundQueue;
    HttpClient& http;
    SettingsStore& settings;
    Alerts& alerts;
    Log& log;
    LoginView& view;
    std::string loginUrl;
};

// The login screen's controller: posts the user name and password to the login service and stores
// what the service hands out (token, file servers, event server, event key, patient identifier).
// Actions are called on the main queue. The controller may be destroyed while a login is waiting for
// its answer; that login then ends without touching the screen.
class LoginViewController {
public:
    static constexpr std::chrono::seconds requestTimeout{30};
    // The dialogs' titles and messages.
    static constexpr const char* failedTitle = "Login Failed!";
    static constexpr const char* emptyFields = "Please enter both Username and Password";
    static constexpr const char* noAnswer = "Connection Failed error code";
    static constexpr const char* notJson = "Connection Failed";
    static constexpr const char* raised = "Login Failed.";

    explicit LoginViewController(LoginContext context);
    LoginViewController(const LoginViewController&) = delete;
    LoginViewController& operator=(const LoginViewController&) = delete;

    // The login button. A press while a login runs is ignored (the overlay covers the button).
    void loginClicked();
    // Goes on without an account: the built-in endpoints and token stay in use.
    void dontHaveAccount();
    void backgroundClick();
    void textFieldShouldReturn();
    // A dialog with the single button "OK"; the message comes first.
    void alertStatus(const std::string& message, const std::string& title);

    // Called on the main queue when a login has ended and the overlay is hidden; true when it stored
    // a patient identifier and the settings were saved.
    void onFinished(std::function<void(bool loggedIn)> finished) { m_finished = std::move(finished); }

private:
    struct Outcome;
    static Outcome attempt(const LoginContext& context, const std::string& username, const std::string& password);
    void conclude(const Outcome& outcome);
    bool store(const LoginAnswer& answer);

    LoginContext m_context;
    std::function<void(bool)> m_finished;
    bool m_running = false;
    // Main-queue work of a login checks it first: the controller may be gone by then.
    std::shared_ptr<LoginViewController*> m_self;
};

} // namespace velorin
