#include "app/qt/LogindInhibitor.h"
#include "app/qt/QtSilentSound.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <optional>

namespace velorin {
namespace {

TEST(KeepAwakeAdapters, SoundAndInhibitorSayWhyTheyCannotKeepAwake)
{
    EXPECT_NE(QtSilentSound(":/no-such.wav").play(), "");

    // The inhibitor answers from the event loop, and not after a release.
    LogindInhibitor inhibitor;
    std::optional<std::string> outcome;
    inhibitor.acquire([&](const std::string& refusal) { outcome = refusal; });
    EXPECT_FALSE(outcome);
    QElapsedTimer waited;
    waited.start();
    while (!outcome && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(outcome);

    // Without a bus the refusal is queued at once; once released it must not arrive.
    bool late = false;
    inhibitor.acquire([&](const std::string&) { late = true; });
    inhibitor.release();
    QCoreApplication::processEvents();
    EXPECT_FALSE(late);
}

} // namespace
} // namespace velorin
