#pragma once

#include "platform/Alerts.h"

#include <QPointer>

#include <functional>
#include <vector>

class QDialog;
class QWidget;

namespace velorin {

// Alerts as window-modal Qt dialogs over the given window. The answer runs on the main thread once
// a button is pressed; closing a dialog by its frame or Escape counts as the cancel button.
class QtAlerts : public ScriptableAlerts {
public:
    explicit QtAlerts(QWidget* window) : m_window(window) {}
    ~QtAlerts() override;
    QtAlerts(const QtAlerts&) = delete;
    QtAlerts& operator=(const QtAlerts&) = delete;

    void show(const AlertRequest& request, Answer answer) override;
    // Answers the newest open dialog as if its button had been pressed with the text typed (for
    // scripted runs); false when no dialog is open or it has no such button.
    bool press(int buttonIndex, const std::string& fieldText) override;
    // The newest open dialog's message; empty when none is open.
    std::string openMessage() const override;

private:
    struct Open {
        QPointer<QDialog> dialog;
        std::function<void(int buttonIndex, const std::string& fieldText)> finish;
        int buttons;
        std::string message;
    };
    const Open* newest() const;

    QWidget* m_window;
    std::vector<Open> m_open;
};

} // namespace velorin
