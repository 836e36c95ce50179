#pragma once

#include "notices/NoticeView.h"

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QSize>

#include <functional>
#include <map>

class QWidget;

namespace velorin {

class NoticeBox;

// Transient notices drawn over any widget: each notice is a child of the host, raised above the
// host's own children, and fades with an opacity effect. The host must outlive the overlay or take
// the notices with it; the overlay removes the notices it still shows when it goes first.
class NoticeOverlay : public QObject, public NoticeView {
public:
    explicit NoticeOverlay(QWidget* host);
    ~NoticeOverlay() override;
    NoticeOverlay(const NoticeOverlay&) = delete;
    NoticeOverlay& operator=(const NoticeOverlay&) = delete;

    // A mouse press on a notice; the overlay cannot know its queue, which is built over it.
    void onTapped(std::function<void(NoticeId)> tapped) { m_tapped = std::move(tapped); }
    // The notice widget, for screenshots and tests; null when the notice is not on screen.
    QWidget* noticeWidget(NoticeId id) const;

    NoticeSize viewSize() const override;
    NoticeSize measureText(const std::string& message, double maxWidth) const override;
    void showNotice(NoticeId id, const std::string& message, const NoticeRect& frame,
                    const NoticeRect& label) override;
    void fadeNotice(NoticeId id, double opacity, Nanoseconds duration, FadeCurve curve) override;
    void removeNotice(NoticeId id) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Shown {
        QPointer<NoticeBox> box;
        // Kept unrounded, so that many resizes do not walk the notice away.
        NoticeRect frame;
        QSize hostSize;
    };
    void place(Shown& shown);

    QWidget* m_host;
    QFont m_font;
    std::map<NoticeId, Shown> m_shown;
    std::function<void(NoticeId)> m_tapped;
};

} // namespace velorin
