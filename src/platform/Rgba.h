#pragma once

namespace velorin {

// A colour as the screens hand it to their views; components from 0 to 1.
struct Rgba {
    float red;
    float green;
    float blue;
    float alpha;
};

} // namespace velorin
