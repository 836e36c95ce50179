#pragma once

#include <string>

namespace velorin {

// What an image file declares about itself, found without decoding its pixels.
struct ImageHeader {
    bool readable = false; // a format the decoder knows, with a header it could parse
    int width = 0;
    int height = 0;
    std::string problem; // why not readable
};

// The image files the user picks (the report logo).
class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;
    virtual ImageHeader header(const std::string& path) = 0;
    // The whole image as PNG, refusing any that turns out larger than maxSide on either side (the
    // file may have changed since its header was read). False with the reason in problem.
    virtual bool toPng(const std::string& path, int maxSide, std::string& png, std::string& problem) = 0;
};

} // namespace velorin
