#include "WindowScript.h"

#include "RecorderScript.h"
#include "app/qt/MainWindow.h"
#include "monitor/qt/MonitorWidget.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPixmap>
#include <QTabWidget>

#include <algorithm>

namespace velorin {

void WindowScript::resize(int width, int height)
{
    m_window.resize(width, height);
}

void WindowScript::minimize()
{
    m_window.showMinimized();
}

void WindowScript::restore()
{
    m_window.showNormal();
    m_window.raise();
}

void WindowScript::tapTrace()
{
    QWidget* trace = m_monitor.traceWidget();
    if (!trace)
        return;
    const QPointF centre = QRectF(trace->rect()).center();
    const QPointF global = trace->mapToGlobal(centre);
    QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(trace, &press);
    QApplication::sendEvent(trace, &release);
}

void WindowScript::showTab(const std::string& name)
{
    const auto found = std::find(windowTabs.begin(), windowTabs.end(), name);
    if (found != windowTabs.end())
        m_window.tabs()->setCurrentIndex(static_cast<int>(found - windowTabs.begin()));
}

bool WindowScript::screenshot(const std::string& file)
{
    return m_window.grab().save(QString::fromStdString(file), "PNG");
}

} // namespace velorin
