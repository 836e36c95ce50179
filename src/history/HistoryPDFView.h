#pragma once

#include "history/HistoryViewerView.h"

#include <functional>
#include <string>

namespace velorin {

// The report screen: a web view that also prints, a busy indicator, the sharing of the PDF and
// transient notices.
class HistoryPDFView : public HistoryWebPort {
public:
    // Evaluates the script and answers once the page has run it.
    virtual void evaluateScriptAndWait(const std::string& script, std::function<void()> done) = 0;
    // The page as PDF on A4 portrait with 10-point margins; empty bytes when it could not be made.
    virtual void printPdf(std::function<void(std::string bytes)> done) = 0;
    virtual void setBusy(bool busy) = 0;
    // Offers the PDF to the user; finished is called once that is over, whatever they chose.
    virtual void share(const std::string& bytes, const std::string& suggestedName, std::function<void()> finished) = 0;
    virtual void makeToast(const std::string& message) = 0;
    virtual double viewWidth() const = 0;
};

} // namespace velorin
