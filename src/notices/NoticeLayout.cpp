#include "notices/NoticeLayout.h"

#include "notices/NoticeStyle.h"

#include <algorithm>

namespace velorin {

NoticeLayout layoutNotice(NoticeSize messageNeeds, NoticeSize view)
{
    const double width = std::min(messageNeeds.width, view.width * noticeStyle::maxWidthFraction);
    const double height = std::min(messageNeeds.height, view.height * noticeStyle::maxHeightFraction);
    return NoticeLayout{
        NoticeRect{noticeStyle::horizontalPadding, noticeStyle::verticalPadding, width, height},
        NoticeSize{width + 2 * noticeStyle::horizontalPadding, height + 2 * noticeStyle::verticalPadding},
    };
}

NoticeRect placeAtBottom(NoticeSize box, NoticeSize view)
{
    return NoticeRect{(view.width - box.width) / 2, view.height - box.height - noticeStyle::verticalPadding, box.width,
                      box.height};
}

namespace {

// The new leading margin when the space beside a fixed length grows or shrinks by delta.
double stretchedLead(double lead, double trail, double delta)
{
    const double margins = lead + trail;
    return margins > 0 ? lead + delta * (lead / margins) : lead + delta / 2;
}

} // namespace

NoticeRect keepMargins(const NoticeRect& frame, NoticeSize oldView, NoticeSize newView)
{
    const double right = oldView.width - frame.x - frame.width;
    const double bottom = oldView.height - frame.y - frame.height;
    return NoticeRect{stretchedLead(frame.x, right, newView.width - oldView.width),
                      stretchedLead(frame.y, bottom, newView.height - oldView.height), frame.width, frame.height};
}

} // namespace velorin
