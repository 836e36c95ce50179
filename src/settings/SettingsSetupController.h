#pragma once

#include "settings/SettingsContext.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velorin {

class SetupView;

// The report logo, in the documents directory.
inline constexpr std::string_view logoFileName = "latest_logo.png";

// The setup screen: the monitor's lock passcode, the report length and the report logo.
class SettingsSetupController {
public:
    // A picked file beyond these is refused before it is decoded: decoding a huge or hostile image
    // whole could take all the memory there is.
    static constexpr std::uint64_t maxLogoFileBytes = std::uint64_t{20} << 20;
    static constexpr int maxLogoSide = 4096;

    SettingsSetupController(SettingsContext context, SetupView& view) : m_ctx(std::move(context)), m_view(view) {}

    std::string logoPath() const;

    void viewDidLoad();
    void textFieldShouldReturn();
    // A typed passcode is stored and locks the monitor at once; an empty field leaves the stored
    // one as it is.
    void updateInformation();
    void cancel();
    void addImage();
    void imagePickerControllerDidFinishPickingMediaWithInfo(const std::string& path);
    void backToLogin();

private:
    // Why the file cannot be the logo; empty when it can be decoded.
    std::string refusal(const std::string& path);

    SettingsContext m_ctx;
    SetupView& m_view;
};

} // namespace velorin
