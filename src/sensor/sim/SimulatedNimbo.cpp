#include "sensor/sim/SimulatedNimbo.h"

#include "sensor/SensorProfile.h"

#include <algorithm>

namespace velorin {

namespace {

// The body sensor location byte for "chest".
constexpr std::uint8_t chest = 0x01;
constexpr std::string_view manufacturer = "Nimbo Simulator";
constexpr std::size_t shortPacketLength = 10;

std::string writeLine(std::string_view uuid, std::span<const std::uint8_t> value)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string line = "sim write ";
    line.append(uuid);
    for (const std::uint8_t byte : value) {
        line.push_back(' ');
        line.push_back(digits[byte >> 4]);
        line.push_back(digits[byte & 0x0F]);
    }
    return line;
}

} // namespace

SimulatedNimbo::SimulatedNimbo(std::shared_ptr<SimulatedCentral> central, std::string identifier,
                               std::optional<std::string> localName, int rssi, SyntheticPackets packets)
    : m_central(std::move(central)), m_identifier(std::move(identifier)), m_localName(std::move(localName)),
      m_packets(std::move(packets))
{
    m_conditions.rssi = rssi;
}

const std::vector<SimulatedNimbo::Attribute>& SimulatedNimbo::profileAttributes()
{
    static const std::vector<Attribute> attributes{
        {profile::heartRateService, profile::ecgPacket},
        {profile::heartRateService, profile::bodySensorLocation},
        {profile::heartRateService, profile::controlPoint},
        {profile::deviceInformationService, profile::manufacturerName},
        {profile::batteryService, profile::batteryLevel},
    };
    return attributes;
}

PeripheralState SimulatedNimbo::state() const
{
    std::lock_guard lock(m_central->mutex());
    return m_state;
}

void SimulatedNimbo::setDelegate(PeripheralDelegate* delegate)
{
    // Taken under the lock, so that no callback to the old delegate runs once this returns.
    std::lock_guard lock(m_central->mutex());
    m_delegate = delegate;
}

std::vector<BleService> SimulatedNimbo::services() const
{
    std::lock_guard lock(m_central->mutex());
    std::vector<BleService> services = m_services;
    for (auto& service : services)
        for (auto& characteristic : service.characteristics)
            characteristic = withState(characteristic);
    return services;
}

void SimulatedNimbo::whileLinked(std::function<void(PeripheralDelegate*)> task)
{
    m_central->post([self = shared_from_this(), task = std::move(task)] {
        if (self->m_state == PeripheralState::connected)
            task(self->m_delegate);
    });
}

void SimulatedNimbo::discoverServices()
{
    whileLinked([this](PeripheralDelegate* delegate) {
        if (m_services.empty())
            for (const auto& attribute : profileAttributes())
                if (m_services.empty() || m_services.back().uuid != attribute.service)
                    m_services.push_back(BleService{std::string(attribute.service), {}});
        if (delegate)
            delegate->peripheralDidDiscoverServices(*this, {});
    });
}

void SimulatedNimbo::discoverCharacteristics(const std::string& serviceUuid)
{
    whileLinked([this, serviceUuid](PeripheralDelegate* delegate) {
        auto service = std::find_if(m_services.begin(), m_services.end(),
                                    [&](const BleService& s) { return s.uuid == serviceUuid; });
        if (service == m_services.end()) {
            if (delegate)
                delegate->peripheralDidDiscoverCharacteristicsForService(*this, BleService{serviceUuid, {}},
                                                                         "No such service");
            return;
        }
        service->characteristics.clear();
        const auto& attributes = profileAttributes();
        for (std::size_t i = 0; i < attributes.size(); ++i)
            if (attributes[i].service == serviceUuid)
                service->characteristics.push_back(withState(BleCharacteristic{
                    std::string(attributes[i].characteristic), serviceUuid, static_cast<int>(i) + 1, false}));
        if (delegate)
            delegate->peripheralDidDiscoverCharacteristicsForService(*this, *service, {});
    });
}

bool SimulatedNimbo::discovered(const BleCharacteristic& characteristic) const
{
    return std::any_of(m_services.begin(), m_services.end(), [&](const BleService& service) {
        return service.uuid == characteristic.serviceUuid &&
               std::any_of(service.characteristics.begin(), service.characteristics.end(),
                           [&](const BleCharacteristic& c) { return c.uuid == characteristic.uuid; });
    });
}

BleCharacteristic SimulatedNimbo::withState(BleCharacteristic characteristic) const
{
    characteristic.isNotifying = m_notifying && characteristic.uuid == profile::ecgPacket;
    return characteristic;
}

void SimulatedNimbo::setNotifyValue(bool enabled, const BleCharacteristic& characteristic)
{
    whileLinked([this, enabled, characteristic](PeripheralDelegate* delegate) {
        if (!discovered(characteristic))
            return;
        if (characteristic.uuid != profile::ecgPacket) {
            if (delegate)
                delegate->peripheralDidUpdateNotificationStateForCharacteristic(*this, withState(characteristic),
                                                                                "The characteristic does not notify");
            return;
        }
        m_notifying = enabled;
        if (enabled && m_stream == 0) {
            // `this` stays valid: the central holds its sensors until close(), which cancels the stream.
            m_stream = m_central->every(SimulatedCentral::packetInterval, [this] { sendPacket(); });
        } else if (!enabled && m_stream != 0) {
            m_central->cancel(m_stream);
            m_stream = 0;
        }
        if (delegate)
            delegate->peripheralDidUpdateNotificationStateForCharacteristic(*this, withState(characteristic), {});
    });
}

std::vector<std::uint8_t> SimulatedNimbo::readAnswer(const std::string& uuid) const
{
    if (uuid == profile::batteryLevel)
        return {static_cast<std::uint8_t>(m_packets.batteryLevel())};
    if (uuid == profile::bodySensorLocation)
        return {chest};
    if (uuid == profile::manufacturerName)
        return {manufacturer.begin(), manufacturer.end()};
    return {};
}

void SimulatedNimbo::readValue(const BleCharacteristic& characteristic)
{
    whileLinked([this, characteristic](PeripheralDelegate* delegate) {
        if (!discovered(characteristic))
            return;
        const std::vector<std::uint8_t> value = readAnswer(characteristic.uuid);
        if (delegate)
            delegate->peripheralDidUpdateValueForCharacteristic(*this, withState(characteristic), value,
                                                                value.empty() ? "Reading is not permitted" : "");
    });
}

void SimulatedNimbo::writeValue(std::span<const std::uint8_t> value, const BleCharacteristic& characteristic)
{
    whileLinked([this, bytes = std::vector<std::uint8_t>(value.begin(), value.end()),
                 characteristic](PeripheralDelegate*) {
        if (discovered(characteristic))
            m_central->log().line(writeLine(characteristic.uuid, bytes));
    });
}

void SimulatedNimbo::readRSSI()
{
    whileLinked([this](PeripheralDelegate* delegate) {
        if (delegate)
            delegate->peripheralDidReadRSSI(*this, m_conditions.rssi, {});
    });
}

void SimulatedNimbo::sendPacket()
{
    if (m_state != PeripheralState::connected || !m_notifying)
        return;
    std::span<const std::uint8_t> packet = m_packets.nextPacket();
    if (m_conditions.shortNext) {
        m_conditions.shortNext = false;
        packet = packet.first(shortPacketLength);
    }
    if (m_delegate) {
        const BleCharacteristic ecg{std::string(profile::ecgPacket), std::string(profile::heartRateService), 1, true};
        m_delegate->peripheralDidUpdateValueForCharacteristic(*this, ecg, packet, {});
    }
}

void SimulatedNimbo::beginConnecting()
{
    m_state = PeripheralState::connecting;
    ++m_link;
}

void SimulatedNimbo::linkDown()
{
    m_state = PeripheralState::disconnected;
    ++m_link;
    m_notifying = false;
    m_services.clear();
    if (m_stream != 0) {
        m_central->cancel(m_stream);
        m_stream = 0;
    }
}

} // namespace velorin
