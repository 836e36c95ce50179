#pragma once

#include <QPointer>

#include <functional>
#include <string>

namespace velorin {

class Alerts;
class HttpClient;
class LoginPage;
class Log;
class MainWindow;
class Queue;
class SettingsStore;

// Brings the login page over the tab bar of the window, each time with a fresh controller, from
// wherever the user asks for it (the monitor, the settings screens).
class LoginPresenter {
public:
    struct Parts {
        Queue& mainQueue;
        // Serial, off the main queue; it must outlive every login sent from here.
        Queue& backgroundQueue;
        HttpClient& http;
        SettingsStore& settings;
        Alerts& alerts;
        Log& log;
        std::string loginUrl;
    };

    LoginPresenter(MainWindow& window, Parts parts) : m_window(window), m_parts(std::move(parts)) {}

    // Pushes a login page, unless one is already up: a second would only stand over the first.
    void present();
    // The page up now, if any.
    LoginPage* page() const;
    // Told the user's name after each successful login.
    void onLoggedIn(std::function<void(const std::string& user)> loggedIn) { m_loggedIn = std::move(loggedIn); }

private:
    MainWindow& m_window;
    Parts m_parts;
    QPointer<LoginPage> m_page;
    std::function<void(const std::string&)> m_loggedIn;
};

} // namespace velorin
