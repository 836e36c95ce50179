#pragma once

#include <QPixmap>

#include <string>

namespace velorin {

// The monitor's small images, drawn once with QPainter: no image files to ship or to lose.
// Sensor status: "Ok" (a green tick) and "Cancel" (a red cross); the cloud, plain or with either
// of those marks; the zoom controls "zoomIn" and "zoomOut" (a magnifier with plus or minus).
QPixmap monitorIcon(const std::string& name, int size);
QPixmap cloudIcon(const std::string& mark, int size);

} // namespace velorin
