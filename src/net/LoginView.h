#pragma once

#include <string>

namespace velorin {

// The login screen as its controller sees it. Every call is made on the main queue.
class LoginView {
public:
    virtual ~LoginView() = default;
    // The user name and password fields' texts as typed.
    virtual std::string username() const = 0;
    virtual std::string password() const = 0;
    // The progress overlay that covers the screen while a login runs.
    virtual void showProgress() = 0;
    virtual void hideProgress() = 0;
    // Ends editing in the fields, which hides the keyboard.
    virtual void endEditing() = 0;
    // Leaves the login screen.
    virtual void closeLogin() = 0;
};

} // namespace velorin
