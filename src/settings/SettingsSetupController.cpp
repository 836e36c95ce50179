#include "settings/SettingsSetupController.h"

#include "platform/Files.h"
#include "platform/Log.h"
#include "settings/ImageDecoder.h"
#include "settings/ReportLength.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/SetupView.h"

namespace velorin {

std::string SettingsSetupController::logoPath() const
{
    return m_ctx.documentsDirectory + "/" + std::string(logoFileName);
}

void SettingsSetupController::viewDidLoad()
{
    // The segment shown is the length the report prints.
    m_view.setPdfLength(reportLengthSegment(m_ctx.settings));
    if (const auto passcode = m_ctx.settings.textOrNumber(keys::lockPass))
        m_view.setLockPassword(*passcode);
    // Whatever now stands at the logo's name is shown only when it is a file of a size we accept.
    const EntryInfo logo = m_ctx.files.entryInfo(m_ctx.files.followLinks(logoPath()));
    const bool shown = logo.kind == EntryKind::regular && logo.size > 0 && logo.size <= maxLogoFileBytes;
    m_view.showLogo(shown ? logoPath() : std::string());
}

void SettingsSetupController::textFieldShouldReturn()
{
    m_view.endEditing();
}

void SettingsSetupController::updateInformation()
{
    if (const std::string passcode = m_view.lockPassword(); !passcode.empty()) {
        m_ctx.settings.set(keys::lockPass, passcode);
        callIfSet(m_ctx.navigation.lockMonitor);
    }
    m_ctx.settings.set(keys::PdfLength, std::int64_t{m_view.pdfLength()});
    const bool saved = m_ctx.settings.flush();
    callIfSet(m_ctx.navigation.bringMonitorToFront);
    m_view.dismiss();
    if (!saved)
        tell(m_ctx, "Setup not saved",
             "The setup could not be written to the settings file. It is used until Velorin ends.");
}

void SettingsSetupController::cancel()
{
    callIfSet(m_ctx.navigation.bringMonitorToFront);
    m_view.dismiss();
}

void SettingsSetupController::addImage()
{
    m_view.chooseImage();
}

std::string SettingsSetupController::refusal(const std::string& path)
{
    // The dialog follows links, and so does the decoder; the size that counts is the target's.
    const EntryInfo entry = m_ctx.files.entryInfo(m_ctx.files.followLinks(path));
    if (entry.kind == EntryKind::missing)
        return "it no longer exists";
    // A FIFO or a device would block the decoder or never end.
    if (entry.kind != EntryKind::regular)
        return "it is not a regular file";
    if (entry.size == 0)
        return "it is empty";
    if (entry.size > maxLogoFileBytes)
        return "it is larger than 20 MB";
    const ImageHeader header = m_ctx.images.header(path);
    if (!header.readable) {
        m_ctx.log.line("Logo refused: " + header.problem);
        return "it is not an image Velorin can read";
    }
    if (header.width <= 0 || header.height <= 0)
        return "its size cannot be read without decoding it";
    if (header.width > maxLogoSide || header.height > maxLogoSide)
        return "it is larger than 4096 × 4096 pixels";
    return {};
}

void SettingsSetupController::imagePickerControllerDidFinishPickingMediaWithInfo(const std::string& path)
{
    std::string problem = refusal(path);
    std::string png;
    if (problem.empty() && !m_ctx.images.toPng(path, maxLogoSide, png, problem)) {
        m_ctx.log.line("Logo refused: " + problem);
        problem = "it could not be decoded";
    }
    if (!problem.empty()) {
        tell(m_ctx, "Logo not changed", "The chosen file cannot be the report logo: " + problem + ".");
        return;
    }
    // A link anyone put at the logo's name goes itself: written through, it would overwrite whatever
    // file it points to, wherever that is.
    if (m_ctx.files.entryInfo(logoPath()).kind == EntryKind::symbolicLink) {
        if (const FileResult removed = m_ctx.files.remove(logoPath()); !removed.ok) {
            tell(m_ctx, "Logo not saved", "The link at " + logoPath() + " could not be removed: " + removed.error + ".");
            return;
        }
    }
    // Replaced in one step, so the report never meets half a logo.
    if (const FileResult written = m_ctx.files.writeAtomically(logoPath(), png, 0644, true); !written.ok) {
        tell(m_ctx, "Logo not saved", "The logo could not be written to " + logoPath() + ": " + written.error + ".");
        return;
    }
    m_view.showLogo(logoPath());
}

void SettingsSetupController::backToLogin()
{
    velorin::backToLogin(m_ctx);
}

} // namespace velorin
