#pragma once

#include "platform/Rgba.h"

namespace velorin {

class Log;

// The sensor-position buttons of a settings screen, by index.
class PositionButtonsView {
public:
    virtual ~PositionButtonsView() = default;
    virtual int positionCount() const = 0;
    virtual bool positionSelected(int index) const = 0;
    virtual void setPositionSelected(int index, bool selected) = 0;
    // Width in points; 0 removes the border.
    virtual void setPositionBorder(int index, float width, Rgba colour) = 0;
};

// The system's accent blue, around the button chosen last.
inline constexpr Rgba positionBorderColour{0.0F, 122.0F / 255.0F, 1.0F, 1.0F};

// Toggles the pressed button. Only the button pressed last wears a border, even when others stay
// selected. The choice is not stored: it lasts as long as the screen.
void changeSensorPos(PositionButtonsView& view, Log& log, int sender);

} // namespace velorin
