#include "app/qt/LogindInhibitor.h"
#include "app/qt/QtSilentSound.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QMediaDevices>

#include <gtest/gtest.h>

#include <optional>

namespace velorin {
namespace {

TEST(KeepAwakeAdapters, SilentSoundSaysWhyItCannotPlayWithoutHangingOrWarning)
{
    QtSilentSound missing(QStringLiteral(":/no-such.wav"));
    EXPECT_EQ(missing.play(), "no sound file :/no-such.wav");

    QtSilentSound sound(QStringLiteral(":/silence.wav"));
    const std::string first = sound.play();
    if (QMediaDevices::defaultAudioOutput().isNull()) {
        EXPECT_EQ(first, "no audio output");
    } else {
        EXPECT_EQ(first, "");
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(sound.play(), first);
}

TEST(KeepAwakeAdapters, InhibitorAnswersFromTheEventLoopAndLetsGo)
{
    LogindInhibitor inhibitor;
    std::optional<std::string> outcome;
    inhibitor.acquire([&](const std::string& refusal) { outcome = refusal; });
    EXPECT_FALSE(outcome);
    QElapsedTimer waited;
    waited.start();
    while (!outcome && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(outcome);
    if (!QDBusConnection::systemBus().isConnected()) {
        EXPECT_EQ(*outcome, "no system bus");
    }
    inhibitor.release();

    // Abandoned before the answer (which, without a bus, is already queued): nothing arrives later.
    bool answered = false;
    inhibitor.acquire([&](const std::string&) { answered = true; });
    inhibitor.release();
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    EXPECT_FALSE(answered);
}

} // namespace
} // namespace velorin
