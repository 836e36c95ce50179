#pragma once

#include <QPixmap>

#include <string>

namespace velorin {

// The monitor's small images, from our own PNGs in the resources (resources/icons/), scaled to size.
// Sensor status: "Ok" (a green tick) and "Cancel" (a red cross); the cloud, plain or with either of
// those marks; the zoom controls "zoomIn" and "zoomOut". A name without an image gives an empty
// picture of that size.
QPixmap monitorIcon(const std::string& name, int size);
QPixmap cloudIcon(const std::string& mark, int size);

} // namespace velorin
