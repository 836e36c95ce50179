#include "app/qt/ProgressOverlay.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QVBoxLayout>

namespace velorin {

namespace {

constexpr int panelWidth = 260;
constexpr qreal panelRadius = 10;
const QColor dim(0, 0, 0, 110);

} // namespace

ProgressOverlay::ProgressOverlay(const QString& text, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("progressOverlay"));
    setAttribute(Qt::WA_NoMousePropagation);
    auto* outer = new QVBoxLayout(this);
    m_panel = new QWidget(this);
    m_panel->setFixedWidth(panelWidth);
    outer->addWidget(m_panel, 0, Qt::AlignCenter);
    auto* inner = new QVBoxLayout(m_panel);
    inner->setContentsMargins(20, 18, 20, 18);
    auto* label = new QLabel(text, m_panel);
    label->setAlignment(Qt::AlignCenter);
    inner->addWidget(label);
    auto* bar = new QProgressBar(m_panel);
    bar->setRange(0, 0); // indeterminate: the service says nothing of its progress
    bar->setTextVisible(false);
    inner->addWidget(bar);
    parent->installEventFilter(this);
    hide();
}

void ProgressOverlay::cover()
{
    setGeometry(parentWidget()->rect());
    raise();
    show();
}

bool ProgressOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void ProgressOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), dim);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath panel;
    panel.addRoundedRect(QRectF(m_panel->geometry()), panelRadius, panelRadius);
    painter.fillPath(panel, palette().window());
}

void ProgressOverlay::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void ProgressOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void ProgressOverlay::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

} // namespace velorin
