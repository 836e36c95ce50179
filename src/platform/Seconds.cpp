#include "platform/Seconds.h"

#include <cmath>
#include <cstdint>

namespace velorin {

std::optional<Nanoseconds> parseSeconds(std::string_view text)
{
    constexpr std::int64_t perSecond = 1'000'000'000;
    constexpr std::int64_t maxWhole = longestSpan.count() / perSecond;
    std::size_t i = 0;
    std::int64_t whole = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        whole = whole * 10 + (text[i] - '0');
        if (whole > maxWhole)
            return std::nullopt; // also stops the digits from overflowing
    }
    if (i == 0)
        return std::nullopt;
    std::int64_t fraction = 0;
    if (i < text.size()) {
        if (text[i] != '.')
            return std::nullopt;
        const std::size_t first = ++i;
        std::int64_t scale = perSecond / 10;
        bool roundUp = false;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            const int digit = text[i] - '0';
            if (scale > 0)
                fraction += digit * scale;
            else if (i - first == 9)
                roundUp = digit >= 5; // the tenth decimal decides; later ones cannot change a half upward
            scale /= 10;
        }
        if (i == first || i != text.size())
            return std::nullopt;
        if (roundUp)
            ++fraction;
    }
    const Nanoseconds span{whole * perSecond + fraction};
    if (span > longestSpan)
        return std::nullopt;
    return span;
}

std::string formatSeconds(Nanoseconds span)
{
    const std::int64_t ns = span.count();
    const bool negative = ns < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(ns) : static_cast<std::uint64_t>(ns);
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / 1'000'000'000u);
    std::string fraction = std::to_string(magnitude % 1'000'000'000u);
    fraction.insert(0, 9 - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        text.append(".").append(fraction);
    return text;
}

Nanoseconds fromSeconds(double seconds)
{
    if (!(seconds > 0))
        return Nanoseconds{0};
    const double ns = std::round(seconds * 1e9);
    if (ns >= static_cast<double>(longestSpan.count()))
        return longestSpan;
    return Nanoseconds{static_cast<std::int64_t>(ns)};
}

} // namespace velorin
