#include "net/qt/QtLocation.h"
#include "net/qt/QtReachability.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

// Whatever this machine offers (a positioning service or none, a network backend or none), both
// answer at once without an event loop on the calling thread and go away cleanly.
TEST(QtNetworkState, LocationAndReachabilityAnswerWithoutAnEventLoop)
{
    QtReachability reachability;
    QtLocation location;
    location.startUpdatingLocation();
    location.startUpdatingLocation();
    (void)location.lastKnown();
    (void)reachability.reachable();
}

} // namespace
} // namespace velorin
