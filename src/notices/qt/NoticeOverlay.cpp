#include "notices/qt/NoticeOverlay.h"

#include "notices/NoticeLayout.h"
#include "notices/NoticeStyle.h"
#include "notices/qt/NoticeBox.h"

#include <QChildEvent>
#include <QEvent>
#include <QFontDatabase>
#include <QWidget>

#include <chrono>
#include <cmath>

namespace velorin {

namespace {

QRect pixels(const NoticeRect& r)
{
    const int left = static_cast<int>(std::lround(r.x));
    const int top = static_cast<int>(std::lround(r.y));
    return QRect(left, top, static_cast<int>(std::lround(r.x + r.width)) - left,
                 static_cast<int>(std::lround(r.y + r.height)) - top);
}

NoticeSize sizeOf(const QSize& size)
{
    return {static_cast<double>(size.width()), static_cast<double>(size.height())};
}

} // namespace

NoticeOverlay::NoticeOverlay(QWidget* host) : m_host(host), m_font(QFontDatabase::systemFont(QFontDatabase::GeneralFont))
{
    m_font.setPointSizeF(noticeStyle::fontPointSize);
    m_host->installEventFilter(this);
}

NoticeOverlay::~NoticeOverlay()
{
    // The boxes call back into this object.
    for (auto& [id, shown] : m_shown)
        delete shown.box.data();
}

QWidget* NoticeOverlay::noticeWidget(NoticeId id) const
{
    const auto found = m_shown.find(id);
    return found == m_shown.end() ? nullptr : found->second.box.data();
}

NoticeSize NoticeOverlay::viewSize() const
{
    return sizeOf(m_host->size());
}

NoticeSize NoticeOverlay::measureText(const std::string& message, double maxWidth) const
{
    const QSizeF needs = NoticeBox::measure(QString::fromStdString(message), m_font, maxWidth);
    return {needs.width(), needs.height()};
}

void NoticeOverlay::showNotice(NoticeId id, const std::string& message, const NoticeRect& frame,
                               const NoticeRect& label)
{
    removeNotice(id);
    auto* box = new NoticeBox(QString::fromStdString(message), m_font, pixels(label), m_host);
    box->onPressed([this, id] {
        if (m_tapped)
            m_tapped(id);
    });
    box->setGeometry(pixels(frame));
    box->show();
    box->raise();
    m_shown[id] = Shown{box, frame, m_host->size()};
}

void NoticeOverlay::fadeNotice(NoticeId id, double opacity, Nanoseconds duration, FadeCurve curve)
{
    if (QWidget* box = noticeWidget(id)) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
        static_cast<NoticeBox*>(box)->fadeTo(opacity, static_cast<int>(ms), curve == FadeCurve::easeIn);
    }
}

void NoticeOverlay::removeNotice(NoticeId id)
{
    const auto found = m_shown.find(id);
    if (found == m_shown.end())
        return;
    if (NoticeBox* box = found->second.box) {
        box->hide();
        // It may be in the middle of handling its own event.
        box->deleteLater();
    }
    m_shown.erase(found);
}

void NoticeOverlay::place(Shown& shown)
{
    const QSize now = m_host->size();
    if (!shown.box || now == shown.hostSize)
        return;
    shown.frame = keepMargins(shown.frame, sizeOf(shown.hostSize), sizeOf(now));
    shown.hostSize = now;
    shown.box->move(pixels(shown.frame).topLeft());
}

bool NoticeOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_host) {
        if (event->type() == QEvent::Resize) {
            for (auto& [id, shown] : m_shown)
                place(shown);
        } else if (event->type() == QEvent::ChildAdded) {
            // A widget the host gains later (a new trace view) would otherwise cover the notice.
            for (auto& [id, shown] : m_shown)
                if (shown.box && static_cast<QChildEvent*>(event)->child() != shown.box)
                    shown.box->raise();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velorin
