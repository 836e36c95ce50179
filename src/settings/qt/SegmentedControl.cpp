#include "settings/qt/SegmentedControl.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

namespace velorin {

SegmentedControl::SegmentedControl(const QStringList& titles, QWidget* parent)
    : QWidget(parent), m_group(new QButtonGroup(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < titles.size(); ++i) {
        auto* button = new QPushButton(titles[i], this);
        button->setCheckable(true);
        button->setMinimumWidth(88);
        m_group->addButton(button, i);
        layout->addWidget(button);
    }
    layout->addStretch();
    // The chosen segment in the same light blue as a chosen sensor position.
    setStyleSheet(QStringLiteral("QPushButton { padding: 3px 14px; border: 1px solid #b4b4b4; background: #f6f6f6; }"
                                 " QPushButton:checked { background: #cfe3ff; border-color: #3d8ee8; }"
                                 " QPushButton:hover:!checked { background: #ececec; }"));
    setSelected(0);
}

int SegmentedControl::count() const
{
    return static_cast<int>(m_group->buttons().size());
}

int SegmentedControl::selected() const
{
    return m_group->checkedId();
}

void SegmentedControl::setSelected(int index)
{
    if (QAbstractButton* button = m_group->button(index))
        button->setChecked(true);
}

} // namespace velorin
