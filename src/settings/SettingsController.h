#pragma once

#include "settings/SettingsContext.h"

namespace velorin {

class PositionButtonsView;
class ProfileView;

// The profile screen: the patient's name, age, weight and gender, read each time the screen opens
// and written only on save.
class SettingsController {
public:
    SettingsController(SettingsContext context, ProfileView& view, PositionButtonsView& positions)
        : m_ctx(std::move(context)), m_view(view), m_positions(positions)
    {
    }

    void viewDidLoad();
    void textFieldShouldReturn();
    void updateInformation();
    // Closes without storing, and leaves the tab bar where it was.
    void cancel();
    void changeSensorPos(int sender);
    void backToLogin();

private:
    SettingsContext m_ctx;
    ProfileView& m_view;
    PositionButtonsView& m_positions;
};

} // namespace velorin
