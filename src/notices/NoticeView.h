#pragma once

#include "platform/Seconds.h"

#include <cstdint>
#include <string>

namespace velorin {

struct NoticeSize {
    double width = 0;
    double height = 0;
};

// In the coordinates of the view that shows the notice, y growing downward.
struct NoticeRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

enum class FadeCurve { easeIn, easeOut };

using NoticeId = std::uint64_t;

// The surface that shows transient notices (the Qt overlay, a console, a test fake). It draws and
// animates only; every decision about when and where is made by NoticeQueue. Every call is made on
// the main queue, and the view reports taps on a notice back through NoticeQueue::noticeTapped.
class NoticeView {
public:
    virtual ~NoticeView() = default;

    virtual NoticeSize viewSize() const = 0;
    // The size the message needs in the notice font, wrapped at word boundaries to lines of at most
    // maxWidth (a word longer than a line breaks inside it); the height is not bounded here.
    virtual NoticeSize measureText(const std::string& message, double maxWidth) const = 0;

    // Adds the notice fully transparent: a rounded box at frame with the message in label (relative
    // to the box). A message that does not fit the label is cut off at its end. While on screen the
    // notice takes every touch on it.
    virtual void showNotice(NoticeId id, const std::string& message, const NoticeRect& frame,
                            const NoticeRect& label) = 0;
    // Animates the notice's opacity from wherever it is now to opacity over duration.
    virtual void fadeNotice(NoticeId id, double opacity, Nanoseconds duration, FadeCurve curve) = 0;
    virtual void removeNotice(NoticeId id) = 0;
};

} // namespace velorin
