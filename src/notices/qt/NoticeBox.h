#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <functional>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

namespace velorin {

// One notice on screen: a rounded translucent box with its message, fading in and out as told.
class NoticeBox : public QWidget {
    Q_OBJECT
public:
    // label is the message's rectangle inside the box. The box starts fully transparent.
    NoticeBox(const QString& message, const QFont& font, const QRect& label, QWidget* parent);

    // The size the message needs when its lines may be at most maxWidth wide: wrapped at word
    // boundaries, and inside a word that is longer than a line. Painting wraps the same way.
    static QSizeF measure(const QString& message, const QFont& font, qreal maxWidth);

    void onPressed(std::function<void()> pressed) { m_pressed = std::move(pressed); }
    // From the opacity it has now, so that a fade-out may cut a fade-in short without a jump.
    void fadeTo(qreal opacity, int milliseconds, bool easeIn);
    qreal opacity() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QString m_message;
    QRect m_label;
    QGraphicsOpacityEffect* m_effect;
    QPointer<QPropertyAnimation> m_fade;
    std::function<void()> m_pressed;
};

} // namespace velorin
