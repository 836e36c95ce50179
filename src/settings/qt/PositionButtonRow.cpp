#include "settings/qt/PositionButtonRow.h"

#include <QColor>
#include <QHBoxLayout>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

// Checkable, but a click does not toggle it by itself: the controller decides.
class PositionButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void nextCheckState() override {}
};

QString borderStyle(float width, Rgba colour)
{
    // The margin gives back what the border takes, so a bordered button keeps its place.
    const int border = static_cast<int>(std::lround(width));
    const QColor c = QColor::fromRgbF(colour.red, colour.green, colour.blue, colour.alpha);
    return QStringLiteral("QPushButton { padding: 3px 16px; border-radius: 4px; background: #e6e6e6;"
                          " border: %1px solid %2; margin: %3px; }"
                          " QPushButton:checked { background: #cfe3ff; }"
                          " QPushButton:pressed { background: #b8d4fb; }")
        .arg(border)
        .arg(c.name(QColor::HexArgb))
        .arg(std::max(0, 1 - border));
}

} // namespace

PositionButtonRow::PositionButtonRow(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    const QStringList titles{tr("Chest"), tr("Left side"), tr("Right side")};
    for (int i = 0; i < titles.size(); ++i) {
        auto* button = new PositionButton(titles[i], this);
        button->setCheckable(true);
        button->setObjectName(QStringLiteral("position%1").arg(i));
        button->setStyleSheet(borderStyle(0.0F, positionBorderColour));
        connect(button, &QPushButton::clicked, this, [this, i] { emit positionPressed(i); });
        layout->addWidget(button);
        m_buttons.push_back(button);
    }
    layout->addStretch();
}

int PositionButtonRow::positionCount() const
{
    return static_cast<int>(m_buttons.size());
}

bool PositionButtonRow::positionSelected(int index) const
{
    return button(index)->isChecked();
}

void PositionButtonRow::setPositionSelected(int index, bool selected)
{
    button(index)->setChecked(selected);
}

void PositionButtonRow::setPositionBorder(int index, float width, Rgba colour)
{
    button(index)->setStyleSheet(borderStyle(width, colour));
}

} // namespace velorin
