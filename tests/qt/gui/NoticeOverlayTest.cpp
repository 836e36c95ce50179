#include "notices/qt/NoticeOverlay.h"
#include "notices/NoticeQueue.h"
#include "platform/qt/QtRuntime.h"
#include "qt/QtTestSupport.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace velorin {
namespace {

// The notice on screen with that message, if any.
QWidget* notice(const QWidget& host, const QString& message)
{
    for (QWidget* child : host.findChildren<QWidget*>("notice"))
        if (child->isVisible() && child->accessibleName() == message)
            return child;
    return nullptr;
}

TEST(NoticeOverlayTest, TheFirstNoticeShowsAtTheBottomAndAClickOnItBringsTheSecond)
{
    QtRuntime runtime;
    QWidget host;
    host.resize(480, 320);
    host.show();
    NoticeOverlay overlay(&host);
    NoticeQueue notices(overlay, runtime.timers());
    overlay.onTapped([&](NoticeId id) { notices.noticeTapped(id); });

    notices.makeToast("Connected to sensor");
    notices.makeToast("Marked event.");
    QWidget* first = notice(host, "Connected to sensor");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(notice(host, "Marked event."), nullptr);
    EXPECT_EQ(first->geometry().bottom() + 1, 310);
    EXPECT_NEAR(first->geometry().center().x(), 240, 1);

    const QPointF inside(first->rect().center());
    QMouseEvent press(QEvent::MouseButtonPress, inside, first->mapToGlobal(inside), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(first, &press);
    ASSERT_TRUE(waitFor([&] { return notice(host, "Marked event.") != nullptr; }));
    EXPECT_EQ(notice(host, "Connected to sensor"), nullptr);

    // It stays centred near the bottom when the window grows.
    host.resize(800, 600);
    const QRect second = notice(host, "Marked event.")->geometry();
    EXPECT_NEAR(second.center().x(), 400, 1);
    EXPECT_GT(second.top(), 500);
    EXPECT_LT(second.bottom(), 600);
}

} // namespace
} // namespace velorin
