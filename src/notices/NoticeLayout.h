#pragma once

#include "notices/NoticeView.h"

namespace velorin {

// The message label of a notice and the box around it.
struct NoticeLayout {
    NoticeRect label; // inside the box
    NoticeSize box;
};

// Sizes a notice from the size its message needs: each dimension is cut to its share of the view,
// and the box adds the padding on every side.
NoticeLayout layoutNotice(NoticeSize messageNeeds, NoticeSize view);

// The box centred horizontally with its bottom edge one vertical padding above the view's bottom.
NoticeRect placeAtBottom(NoticeSize box, NoticeSize view);

// Where a shown box goes when its view changes size: its margins to the four edges stretch in
// proportion to their length, so the box keeps its place relative to the view.
NoticeRect keepMargins(const NoticeRect& frame, NoticeSize oldView, NoticeSize newView);

} // namespace velorin
