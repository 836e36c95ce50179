#pragma once

#include <functional>
#include <string>

namespace velorin {

// The web view of a history screen as its controller sees it. Scripts are queued and never waited
// for; answers come back later on the main queue.
class HistoryWebPort {
public:
    virtual ~HistoryWebPort() = default;
    virtual void loadPage() = 0;
    virtual void evaluateScript(const std::string& script) = 0;
    // The page's document.readyState; not called when the page goes first.
    virtual void askReadyState(std::function<void(const std::string&)> answer) = 0;
    virtual void close() = 0;
};

// The recording viewer's screen.
class HistoryViewerView : public HistoryWebPort {
public:
    // The title: the file shown.
    virtual void setFileName(const std::string& name) = 0;
    virtual void setStepsEnabled(bool enabled) = 0;
    virtual void openReport(const std::string& path) = 0;
};

} // namespace velorin
