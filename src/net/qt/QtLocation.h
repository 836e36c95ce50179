#pragma once

#include "net/Location.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <mutex>

class QGeoPositionInfoSource;

namespace velorin {

// The position through QtPositioning. The source lives on a thread of its own, so positions arrive
// whether or not the program runs an event loop; without a source, or before the first fix,
// lastKnown() is nullopt.
class QtLocation : public Location {
public:
    QtLocation();
    ~QtLocation() override;
    QtLocation(const QtLocation&) = delete;
    QtLocation& operator=(const QtLocation&) = delete;

    void startUpdatingLocation() override;
    std::optional<Coordinate> lastKnown() const override;

private:
    QThread m_thread;
    QObject* m_context;                        // lives on m_thread
    QGeoPositionInfoSource* m_source = nullptr; // on m_thread; stays null when the system has none
    // Set by the first call, cleared when starting failed: one start is asked for, not one per chunk.
    std::atomic<bool> m_updating{false};
    mutable std::mutex m_mutex;
    std::optional<Coordinate> m_last;
};

} // namespace velorin
