#include "WindowScript.h"

#include "RecorderScript.h"
#include "app/qt/MainWindow.h"
#include "monitor/qt/MonitorWidget.h"
#include "platform/Files.h"

#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QMouseEvent>
#include <QPainter>
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
    std::string problem;
    return saveWindowPicture(m_window, m_files, file, problem);
}

bool saveWindowPicture(MainWindow& window, Files& files, const std::string& file, std::string& problem)
{
    // The window with the dialogs open over it, each where it stands on screen (centred when the
    // platform gave it no place over the window).
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    const QRect frame = window.frameGeometry();
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(top);
        if (!dialog || !dialog->isVisible() || dialog->window() == &window)
            continue;
        const QPixmap shown = dialog->grab();
        QPoint at = dialog->geometry().topLeft() - frame.topLeft();
        if (!QRect(QPoint(0, 0), picture.size()).contains(QRect(at, shown.size())))
            at = QPoint((picture.width() - shown.width()) / 2, (picture.height() - shown.height()) / 2);
        painter.fillRect(QRect(at, shown.size()).adjusted(-1, -1, 1, 1), Qt::darkGray);
        painter.drawPixmap(at, shown);
    }
    painter.end();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG")) {
        problem = "the picture could not be encoded";
        return false;
    }
    const FileResult written = files.writeAtomically(file, std::string_view(png.constData(), static_cast<std::size_t>(png.size())));
    problem = written.error;
    return written.ok;
}

} // namespace velorin
