#pragma once

#include "net/LoginView.h"

#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velorin {

class LoginViewController;
class ProgressOverlay;

// The login screen: user name and password, the login button and the way on without an account.
// It owns its controller, so a login still waiting when the page goes ends without touching it.
class LoginPage : public QWidget, public LoginView {
    Q_OBJECT
public:
    explicit LoginPage(QWidget* parent = nullptr);
    ~LoginPage() override;

    // The controller is made over this page, so it comes after it.
    void setController(std::unique_ptr<LoginViewController> controller);
    LoginViewController* controller() const { return m_controller.get(); }

    std::string username() const override;
    std::string password() const override;
    void showProgress() override;
    void hideProgress() override;
    void endEditing() override;
    void closeLogin() override;

signals:
    // Whoever shows the page takes it away.
    void closeRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void call(void (LoginViewController::*action)());
    void fitFonts();

    QWidget* m_form;
    QLabel* m_userLbl;
    QLabel* m_passLbl;
    QLineEdit* m_username;
    QLineEdit* m_password;
    QPushButton* m_loginBtn;
    ProgressOverlay* m_progress;
    std::unique_ptr<LoginViewController> m_controller;
};

} // namespace velorin
