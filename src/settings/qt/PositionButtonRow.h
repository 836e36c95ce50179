#pragma once

#include "settings/PositionButtonsView.h"

#include <QWidget>

#include <vector>

class QPushButton;

namespace velorin {

// The sensor-position buttons: "Chest", "Left side", "Right side". A press only reports which
// button it was; whether it becomes selected is the controller's call.
class PositionButtonRow : public QWidget, public PositionButtonsView {
    Q_OBJECT
public:
    explicit PositionButtonRow(QWidget* parent = nullptr);

    QPushButton* button(int index) const { return m_buttons.at(static_cast<std::size_t>(index)); }

    int positionCount() const override;
    bool positionSelected(int index) const override;
    void setPositionSelected(int index, bool selected) override;
    void setPositionBorder(int index, float width, Rgba colour) override;

signals:
    void positionPressed(int index);

private:
    std::vector<QPushButton*> m_buttons;
};

} // namespace velorin
