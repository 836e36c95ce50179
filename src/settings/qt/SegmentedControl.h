#pragma once

#include <QStringList>
#include <QWidget>

class QButtonGroup;

namespace velorin {

// A row of buttons of which exactly one is selected, from the start on.
class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    explicit SegmentedControl(const QStringList& titles, QWidget* parent = nullptr);

    int count() const;
    int selected() const;
    // An index outside the segments changes nothing.
    void setSelected(int index);

private:
    QButtonGroup* m_group;
};

} // namespace velorin
