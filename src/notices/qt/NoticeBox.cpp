#include "notices/qt/NoticeBox.h"

#include "notices/NoticeStyle.h"

#include <QGraphicsOpacityEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace velorin {

namespace {

// QTextLayout breaks lines only at QChar::LineSeparator, not at a typed newline.
void layOut(QTextLayout& layout, qreal width)
{
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
}

QString withLineSeparators(QString text)
{
    return text.replace(QLatin1Char('\n'), QChar::LineSeparator);
}

} // namespace

NoticeBox::NoticeBox(const QString& message, const QFont& font, const QRect& label, QWidget* parent)
    : QWidget(parent), m_message(withLineSeparators(message)), m_label(label),
      m_effect(new QGraphicsOpacityEffect(this))
{
    setObjectName(QStringLiteral("notice"));
    setAccessibleName(message);
    setFont(font);
    setAttribute(Qt::WA_NoMousePropagation);
    m_effect->setOpacity(0);
    setGraphicsEffect(m_effect);
}

QSizeF NoticeBox::measure(const QString& message, const QFont& font, qreal maxWidth)
{
    QTextLayout layout(withLineSeparators(message), font);
    layOut(layout, maxWidth);
    qreal width = 0;
    qreal height = 0;
    for (int i = 0; i < layout.lineCount(); ++i) {
        width = std::max(width, layout.lineAt(i).naturalTextWidth());
        height += layout.lineAt(i).height();
    }
    return {std::ceil(width), std::ceil(height)};
}

void NoticeBox::fadeTo(qreal opacity, int milliseconds, bool easeIn)
{
    if (m_fade)
        m_fade->stop();
    m_fade = new QPropertyAnimation(m_effect, "opacity", this);
    m_fade->setStartValue(m_effect->opacity());
    m_fade->setEndValue(opacity);
    m_fade->setDuration(milliseconds);
    m_fade->setEasingCurve(easeIn ? QEasingCurve::InQuad : QEasingCurve::OutQuad);
    m_fade->start(QAbstractAnimation::DeleteWhenStopped);
}

qreal NoticeBox::opacity() const
{
    return m_effect->opacity();
}

void NoticeBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath box;
    box.addRoundedRect(QRectF(rect()), noticeStyle::cornerRadius, noticeStyle::cornerRadius);
    painter.fillPath(box, QColor::fromRgbF(0, 0, 0, noticeStyle::backgroundAlpha));

    QTextLayout layout(m_message, font());
    layOut(layout, m_label.width());
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.setClipRect(m_label);
    // Whole lines only; when the message is taller than its rectangle, the last line that fits
    // ends in an ellipsis so that the cut shows.
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const bool nextFits = i + 1 < layout.lineCount() &&
                              layout.lineAt(i + 1).rect().bottom() <= m_label.height();
        if (i + 1 == layout.lineCount() || nextFits) {
            line.draw(&painter, m_label.topLeft());
            continue;
        }
        if (line.rect().bottom() <= m_label.height() || i == 0) {
            const QString rest = m_message.mid(line.textStart()).replace(QChar::LineSeparator, QLatin1Char(' '));
            const QString cut = painter.fontMetrics().elidedText(rest, Qt::ElideRight, m_label.width());
            painter.drawText(QPointF(m_label.left(), m_label.top() + line.y() + line.ascent()), cut);
        }
        break;
    }
}

void NoticeBox::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (m_pressed)
        m_pressed();
}

} // namespace velorin
