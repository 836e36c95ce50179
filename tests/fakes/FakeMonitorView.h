#pragma once

#include "monitor/MonitorView.h"
#include "platform/Alerts.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace velorin {

// Records what the monitor screen was told; texts and images keep every value they were set to.
class FakeMonitorView : public MonitorView, public Alerts {
public:
    void setShown(Outlet o, bool shown) override { this->shown[o] = shown; }
    void setEnabled(Outlet o, bool enabled) override { this->enabled[o] = enabled; }
    void setText(Outlet o, const std::string& text) override { texts[o].push_back(text); }
    void setImage(Outlet o, const std::string& name) override { images[o].push_back(name); }
    void setProgress(Outlet o, float p) override { progress[o] = p; }
    void setTint(Outlet o, Tint t) override { tints[o] = t; }
    void setScale(Outlet, float, float) override {}
    void setBorder(Outlet o, float width, Rgba colour) override { borders[o] = {width, colour}; }
    void makeToast(const std::string& message) override { toasts.push_back(message); }
    DeviceOrientation orientation() const override { return deviceOrientation; }
    void presentLogin() override { ++loginsPresented; }
    void selectMonitorTab() override {}
    void show(const AlertRequest& request, Answer answer) override
    {
        alerts.push_back(request.title + " | " + request.message);
        lastAlert = request;
        lastAnswer = answer;
        requests.push_back(request);
        answers.push_back(std::move(answer));
    }
    // Presses a button of the latest alert.
    void press(int buttonIndex, const std::string& fieldText = {})
    {
        Answer answer = answers.back();
        if (answer)
            answer(buttonIndex, fieldText);
    }

    bool isShown(Outlet o) const
    {
        auto it = shown.find(o);
        return it != shown.end() && it->second;
    }
    std::string lastText(Outlet o) const
    {
        auto it = texts.find(o);
        return it == texts.end() || it->second.empty() ? std::string() : it->second.back();
    }

    std::map<Outlet, bool> shown, enabled;
    std::map<Outlet, std::vector<std::string>> texts, images;
    std::map<Outlet, float> progress;
    std::map<Outlet, Tint> tints;
    std::map<Outlet, std::pair<float, Rgba>> borders;
    int loginsPresented = 0;
    std::vector<std::string> toasts, alerts;
    AlertRequest lastAlert;
    Answer lastAnswer; // empty for an alert whose answer nobody handles
    std::vector<AlertRequest> requests;
    std::vector<Answer> answers;
    DeviceOrientation deviceOrientation = DeviceOrientation::portrait;
};

} // namespace velorin
