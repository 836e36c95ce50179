#include "monitor/AmplitudeWindow.h"

#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <cmath>
#include <optional>

namespace velorin {

namespace {

enum class Stored { absent, usable, unusable };

struct Bound {
    Stored state;
    float value; // 0 unless usable
};

Bound readBound(const SettingsStore& settings, std::string_view key)
{
    const std::optional<SettingValue> object = settings.object(key);
    if (!object)
        return {Stored::absent, 0.0f};
    double value = 0.0;
    if (const auto* f = std::get_if<float>(&*object))
        value = *f;
    else if (const auto* i = std::get_if<std::int64_t>(&*object))
        value = static_cast<double>(*i); // a hand-edited file may hold a whole number
    else
        return {Stored::unusable, 0.0f};
    if (!std::isfinite(value) || value < 0.0 || value > AmplitudeWindow::largestBound)
        return {Stored::unusable, 0.0f};
    return {Stored::usable, static_cast<float>(value)};
}

} // namespace

AmplitudeWindow::AmplitudeWindow(SettingsStore& settings) : m_settings(settings) {}

VerticalWindow AmplitudeWindow::frameWindow() const
{
    const Bound min = readBound(m_settings, keys::amplitudeHeightMin);
    const Bound max = readBound(m_settings, keys::amplitudeHeightMax);
    if (min.state == Stored::unusable || max.state == Stored::unusable)
        return defaultWindow;
    // A missing bound reads 0, which the window rule turns into the default.
    return verticalWindow(min.value, max.value);
}

AmplitudeWindow::Bounds AmplitudeWindow::buttonBounds() const
{
    const Bound min = readBound(m_settings, keys::amplitudeHeightMin);
    const Bound max = readBound(m_settings, keys::amplitudeHeightMax);
    if (min.state == Stored::unusable || max.state == Stored::unusable)
        return {defaultWindow.bottom, defaultWindow.top};
    return {min.state == Stored::usable ? min.value : defaultWindow.bottom,
            max.state == Stored::usable ? max.value : defaultWindow.top};
}

void AmplitudeWindow::write(Bounds bounds)
{
    m_settings.setFloat(keys::amplitudeHeightMin, bounds.min);
    m_settings.setFloat(keys::amplitudeHeightMax, bounds.max);
}

void AmplitudeWindow::zoom()
{
    // Narrows by a step at each end until the span is 125; max is judged against the new min.
    Bounds b = buttonBounds();
    if (b.min < b.max - 125.0f)
        b.min += step;
    if (b.max > b.min + 125.0f)
        b.max -= step;
    write(b);
}

void AmplitudeWindow::unzoom()
{
    Bounds b = buttonBounds();
    if (b.min > step)
        b.min -= step;
    if (b.max < 1000.0f)
        b.max += step;
    write(b);
}

void AmplitudeWindow::up()
{
    Bounds b = buttonBounds();
    if (b.max < 1000.0f) {
        b.min += step;
        b.max += step;
    }
    write(b);
}

void AmplitudeWindow::down()
{
    Bounds b = buttonBounds();
    if (b.min > step) {
        b.min -= step;
        b.max -= step;
    }
    write(b);
}

} // namespace velorin
