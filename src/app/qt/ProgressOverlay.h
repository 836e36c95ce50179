#pragma once

#include <QWidget>

namespace velorin {

// A busy indicator that covers its parent whole: dimmed, with an indeterminate bar and a line of
// text. While shown it takes every mouse press on the parent, so nothing beneath can be pressed.
class ProgressOverlay : public QWidget {
    Q_OBJECT
public:
    ProgressOverlay(const QString& text, QWidget* parent);

    // Over everything else on the parent, at its full size.
    void cover();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QWidget* m_panel;
};

} // namespace velorin
