#include "settings/SettingsKeys.h"

namespace velorin {

const std::vector<SettingKey>& settingKeys()
{
    static const std::vector<SettingKey> table{
        {keys::termsAccept, SettingType::Boolean, "false"},
        {keys::termsDecline, SettingType::Boolean, "false"},
        {keys::termsDate, SettingType::Date, "not read"},
        {keys::loggedIn, SettingType::Boolean, "not read"},
        {keys::token, SettingType::Text, "the built-in upload token"},
        {keys::fileServers, SettingType::TextArray, "empty list"},
        {keys::markedServer, SettingType::Text, "empty text"},
        {keys::VUApiKey, SettingType::Text, "the built-in upload token"},
        {keys::PatientId, SettingType::Text, "no identifier"},
        {keys::Name, SettingType::Text, "\"Your name\" in the report; \"Your\" in the sensor list"},
        {keys::Age, SettingType::Text, "\"XX\""},
        {keys::Weight, SettingType::Text, "\"XX\""},
        {keys::Gender, SettingType::Integer, "\"Male\""},
        {keys::lockPass, SettingType::Text, "not locked"},
        {keys::amplitudeHeightMin, SettingType::Float, "200 in the monitor's amplitude actions; 0 in the renderer"},
        {keys::amplitudeHeightMax, SettingType::Float, "750 in the monitor's amplitude actions; 0 in the renderer"},
        {keys::selectedUUID, SettingType::Text, "no remembered sensor"},
        {keys::password, SettingType::Text, "no pin"},
        {keys::PdfLength, SettingType::Integer, "default segment"},
    };
    return table;
}

} // namespace velorin
