#include "sensor/qt/BleUuidText.h"

namespace velorin {

std::string bleUuidText(const QBluetoothUuid& uuid)
{
    bool isShort = false;
    const quint16 shortForm = uuid.toUInt16(&isShort);
    if (isShort)
        return QStringLiteral("%1").arg(shortForm, 4, 16, QLatin1Char('0')).toUpper().toStdString();
    return uuid.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

} // namespace velorin
