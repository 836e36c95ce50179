#pragma once

#include "settings/SettingsContext.h"
#include "settings/SettingsSetupController.h"
#include "settings/SetupView.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;

namespace velorin {

class SegmentedControl;

// The setup screen, shown over the tab bar; dismiss() hands it back to whoever showed it.
class SetupPage : public QWidget, public SetupView {
    Q_OBJECT
public:
    SetupPage(const SettingsContext& context, std::function<void()> dismiss, QWidget* parent = nullptr);
    ~SetupPage() override;

    SettingsSetupController& controller() { return *m_controller; }

    std::string lockPassword() const override;
    void setLockPassword(const std::string& text) override;
    int pdfLength() const override;
    void setPdfLength(int segment) override;
    void showLogo(const std::string& path) override;
    void chooseImage() override;
    void endEditing() override;
    void dismiss() override;

private:
    QLineEdit* m_lockPassword;
    SegmentedControl* m_pdfLength;
    QLabel* m_logo;
    std::function<void()> m_dismiss;
    std::unique_ptr<SettingsSetupController> m_controller;
};

} // namespace velorin
