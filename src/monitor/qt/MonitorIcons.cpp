#include "monitor/qt/MonitorIcons.h"

namespace velorin {

namespace {

QPixmap scaledIcon(const QString& file, int size)
{
    QPixmap image(file);
    if (image.isNull()) {
        QPixmap blank(size, size);
        blank.fill(Qt::transparent);
        return blank;
    }
    return image.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

bool known(const std::string& name)
{
    return name == "Ok" || name == "Cancel" || name == "zoomIn" || name == "zoomOut";
}

} // namespace

QPixmap monitorIcon(const std::string& name, int size)
{
    // Only our own names reach the resource path.
    return scaledIcon(known(name) ? QStringLiteral(":/icons/%1.png").arg(QString::fromStdString(name)) : QString(), size);
}

QPixmap cloudIcon(const std::string& mark, int size)
{
    const bool marked = mark == "Ok" || mark == "Cancel";
    return scaledIcon(marked ? QStringLiteral(":/icons/cloud%1.png").arg(QString::fromStdString(mark))
                             : QStringLiteral(":/icons/cloud.png"),
                      size);
}

} // namespace velorin
