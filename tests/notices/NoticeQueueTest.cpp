#include "notices/NoticeQueue.h"
#include "platform/virtual/VirtualRuntime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velorin {
namespace {

// Monospaced text, 8 wide and 20 high a character; logs every call at its virtual time.
class FakeNoticeView : public NoticeView {
public:
    explicit FakeNoticeView(VirtualRuntime& runtime) : m_runtime(runtime) {}

    NoticeSize viewSize() const override { return {320, 568}; }
    NoticeSize measureText(const std::string& message, double maxWidth) const override
    {
        const double perLine = std::floor(maxWidth / 8), chars = static_cast<double>(message.size());
        return {std::min(chars, perLine) * 8, std::ceil(chars / perLine) * 20};
    }
    void showNotice(NoticeId id, const std::string& message, const NoticeRect&, const NoticeRect&) override
    {
        onScreen[id] = message;
        log("show " + message);
    }
    void fadeNotice(NoticeId id, double opacity, Nanoseconds, FadeCurve) override
    {
        log((opacity > 0 ? "in " : "out ") + onScreen.at(id));
    }
    void removeNotice(NoticeId id) override
    {
        log("remove " + onScreen.at(id));
        onScreen.erase(id);
    }
    NoticeId current() const { return onScreen.empty() ? 0 : onScreen.begin()->first; }

    std::map<NoticeId, std::string> onScreen;
    std::vector<std::string> events;

private:
    void log(const std::string& what)
    {
        events.push_back(std::to_string(std::lround(m_runtime.elapsed() * 1000)) + " " + what);
    }
    VirtualRuntime& m_runtime;
};

struct NoticeRig {
    VirtualRuntime runtime;
    FakeNoticeView view{runtime};
    std::optional<NoticeQueue> notices{std::in_place, view, runtime.timers()};
};

// Notices follow one another, a tap ends the one showing, and an empty message is none.
TEST(NoticeQueue, TapDismissesTheShowingNoticeAndBringsTheNext)
{
    NoticeRig rig;
    rig.notices->makeToast("A");
    rig.notices->makeToast("B");
    rig.notices->makeToast("");
    rig.notices->makeToast("C");
    rig.runtime.runFor(1.0);
    rig.notices->noticeTapped(rig.view.current());
    rig.runtime.runFor(0.1);
    rig.notices->noticeTapped(rig.view.current()); // already fading out
    rig.runtime.runFor(0.2);
    // Tapped while still fading in: no display timer may outlive the tap and end the next one early.
    rig.notices->noticeTapped(rig.view.current());
    rig.runtime.runFor(20.0);
    EXPECT_EQ(rig.view.events,
              (std::vector<std::string>{"0 show A", "0 in A", "1000 out A", "1200 remove A", "1200 show B", "1200 in B",
                                        "1300 out B", "1500 remove B", "1500 show C", "1500 in C", "4700 out C",
                                        "4900 remove C"}));

    // Going away with a notice on screen leaves no timer to call into the dead queue (the asan build
    // catches one that is left).
    rig.notices->makeToast("D");
    rig.notices.reset();
    rig.runtime.runFor(10.0);
    EXPECT_EQ(rig.view.events.back(), "21300 in D");
}

} // namespace
} // namespace velorin
