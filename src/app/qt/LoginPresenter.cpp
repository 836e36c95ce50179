#include "app/qt/LoginPresenter.h"

#include "app/qt/LoginPage.h"
#include "app/qt/MainWindow.h"
#include "net/LoginViewController.h"

namespace velorin {

void LoginPresenter::present()
{
    if (m_page)
        return;
    auto* page = new LoginPage;
    auto controller = std::make_unique<LoginViewController>(
        LoginContext{m_parts.mainQueue, m_parts.backgroundQueue, m_parts.http, m_parts.settings, m_parts.alerts,
                     m_parts.log, *page, m_parts.loginUrl});
    controller->onFinished([this, page](bool loggedIn) {
        if (loggedIn && m_loggedIn)
            m_loggedIn(page->username());
    });
    page->setController(std::move(controller));
    QObject::connect(page, &LoginPage::closeRequested, page, [window = &m_window, page] {
        // The window pops whichever page is on top; only this one may go.
        if (page->isVisibleTo(window))
            window->popPage();
    });
    m_page = page;
    m_window.pushPage(page);
}

LoginPage* LoginPresenter::page() const
{
    return m_page;
}

} // namespace velorin
