#include "settings/SettingsController.h"

#include "settings/PositionButtonsView.h"
#include "settings/ProfileView.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <array>
#include <string_view>
#include <utility>

namespace velorin {

namespace {

constexpr std::array<std::pair<ProfileField, std::string_view>, 3> fieldKeys{{
    {ProfileField::name, keys::Name},
    {ProfileField::Age, keys::Age},
    {ProfileField::Weight, keys::Weight},
}};

} // namespace

void SettingsController::viewDidLoad()
{
    // An age or weight stored as a number (a hand-edited or older file) is shown as one: a blank
    // field would be saved over it.
    for (const auto& [field, key] : fieldKeys)
        if (const auto text = m_ctx.settings.textOrNumber(key))
            m_view.setText(field, *text);
    // The report prints "Female." for every value but 0, so the screen shows what the report will.
    if (const auto stored = m_ctx.settings.integer(keys::Gender))
        m_view.setGender(*stored == gender::male ? gender::male : gender::female);
}

void SettingsController::textFieldShouldReturn()
{
    m_view.endEditing();
}

void SettingsController::updateInformation()
{
    for (const auto& [field, key] : fieldKeys)
        m_ctx.settings.set(key, m_view.text(field));
    m_ctx.settings.set(keys::Gender, std::int64_t{m_view.gender()});
    const bool saved = m_ctx.settings.flush();
    m_view.endEditing();
    callIfSet(m_ctx.navigation.bringMonitorToFront);
    m_view.dismiss();
    if (!saved)
        tell(m_ctx, "Profile not saved",
             "The profile could not be written to the settings file. It is used until Velorin ends.");
}

void SettingsController::cancel()
{
    m_view.dismiss();
}

void SettingsController::changeSensorPos(int sender)
{
    velorin::changeSensorPos(m_positions, m_ctx.log, sender);
}

void SettingsController::backToLogin()
{
    velorin::backToLogin(m_ctx);
}

} // namespace velorin
