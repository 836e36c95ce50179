#pragma once

#include "settings/SettingsContext.h"
#include "settings/SettingsMenuController.h"

#include <QWidget>

#include <functional>
#include <memory>

namespace velorin {

class PositionButtonRow;

// The settings tab. The profile and setup pages it opens are pushed over the tab bar with
// pushPage and taken off again with popPage.
class SettingsMenuPage : public QWidget {
    Q_OBJECT
public:
    SettingsMenuPage(const SettingsContext& context, std::function<void(QWidget*)> pushPage,
                     std::function<void()> popPage, QWidget* parent = nullptr);
    ~SettingsMenuPage() override;

    SettingsMenuController& controller() { return *m_controller; }
    PositionButtonRow* positions() const { return m_positions; }

private:
    void open(QWidget* page);

    SettingsContext m_ctx;
    std::function<void(QWidget*)> m_push;
    std::function<void()> m_pop;
    PositionButtonRow* m_positions;
    std::unique_ptr<SettingsMenuController> m_controller;
};

} // namespace velorin
