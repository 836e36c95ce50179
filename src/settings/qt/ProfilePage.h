#pragma once

#include "settings/ProfileView.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsController.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QLineEdit;

namespace velorin {

class PositionButtonRow;
class SegmentedControl;

// The profile screen, shown over the tab bar; dismiss() hands it back to whoever showed it.
class ProfilePage : public QWidget, public ProfileView {
    Q_OBJECT
public:
    ProfilePage(const SettingsContext& context, std::function<void()> dismiss, QWidget* parent = nullptr);
    ~ProfilePage() override;

    QLineEdit* field(ProfileField field) const { return m_fields.at(static_cast<std::size_t>(field)); }

    std::string text(ProfileField field) const override;
    void setText(ProfileField field, const std::string& text) override;
    int gender() const override;
    void setGender(int segment) override;
    void endEditing() override;
    void dismiss() override;

private:
    std::array<QLineEdit*, 3> m_fields{};
    SegmentedControl* m_gender;
    PositionButtonRow* m_positions;
    std::function<void()> m_dismiss;
    std::unique_ptr<SettingsController> m_controller;
};

} // namespace velorin
