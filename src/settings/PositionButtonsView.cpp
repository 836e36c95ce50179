#include "settings/PositionButtonsView.h"

#include "platform/Log.h"

namespace velorin {

void changeSensorPos(PositionButtonsView& view, Log& log, int sender)
{
    if (sender < 0 || sender >= view.positionCount())
        return;
    const bool selected = !view.positionSelected(sender);
    view.setPositionSelected(sender, selected);
    for (int i = 0; i < view.positionCount(); ++i)
        view.setPositionBorder(i, 0.0F, positionBorderColour);
    if (selected) {
        log.line("Selected");
        view.setPositionBorder(sender, 1.0F, positionBorderColour);
    } else {
        log.line("Un Selected");
    }
}

} // namespace velorin
