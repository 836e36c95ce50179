#pragma once

#include <string>

namespace velorin {

// The setup screen as its controller sees it.
class SetupView {
public:
    virtual ~SetupView() = default;
    virtual std::string lockPassword() const = 0;
    virtual void setLockPassword(const std::string& text) = 0;
    // The report-length segment; always one selected.
    virtual int pdfLength() const = 0;
    virtual void setPdfLength(int segment) = 0;
    // Shows the logo the report uses; an empty path shows that there is none.
    virtual void showLogo(const std::string& path) = 0;
    // Lets the user pick an image file; a pick comes back through the controller's
    // imagePickerControllerDidFinishPickingMediaWithInfo, a cancelled dialog not at all.
    virtual void chooseImage() = 0;
    virtual void endEditing() = 0;
    virtual void dismiss() = 0;
};

} // namespace velorin
