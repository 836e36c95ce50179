#pragma once

#include "net/LoginView.h"
#include "platform/Alerts.h"

#include <cstdio>
#include <string>

namespace velorin {

// The login screen on a console: the fields hold what the command line gave, and each dialog is one
// line "alert TITLE | MESSAGE".
class ConsoleLoginView : public LoginView, public Alerts {
public:
    ConsoleLoginView(std::FILE* out, std::string username, std::string password);

    std::string username() const override { return m_username; }
    std::string password() const override { return m_password; }
    void showProgress() override {}
    void hideProgress() override {}
    void endEditing() override {}
    void closeLogin() override {}

    // Nobody is there to answer: the dialog is printed and left.
    void show(const AlertRequest& request, Answer answer) override;

private:
    std::FILE* m_out;
    std::string m_username;
    std::string m_password;
};

} // namespace velorin
