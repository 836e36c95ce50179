#pragma once

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

namespace velorin {

// The report lengths of the setup screen, by segment: 10, 20 and 30 seconds, then the whole file.
inline constexpr int reportLengthSegments = 4;
inline constexpr int wholeFileSegment = 3;

// The segment the setup screen shows and the report prints: the stored one, or the whole file when
// none is stored or the stored value names no segment (a hand-edited file).
inline int reportLengthSegment(const SettingsStore& settings)
{
    if (!settings.has(keys::PdfLength))
        return wholeFileSegment;
    const float stored = settings.floatValue(keys::PdfLength);
    if (stored >= 0.0F && stored < static_cast<float>(reportLengthSegments))
        return static_cast<int>(stored);
    return wholeFileSegment;
}

// Seconds of the file the report prints; 0 for all of it.
inline int reportLengthSeconds(const SettingsStore& settings)
{
    const int segment = reportLengthSegment(settings);
    return segment == wholeFileSegment ? 0 : (segment + 1) * 10;
}

} // namespace velorin
