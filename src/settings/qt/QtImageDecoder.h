#pragma once

#include "settings/ImageDecoder.h"

namespace velorin {

// Image files through QImageReader, which reads a header without decoding the pixels.
class QtImageDecoder : public ImageDecoder {
public:
    ImageHeader header(const std::string& path) override;
    bool toPng(const std::string& path, int maxSide, std::string& png, std::string& problem) override;
};

} // namespace velorin
