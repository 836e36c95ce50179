#pragma once

#include "platform/Seconds.h"
#include "signal/PacketDecoder.h"
#include "signal/SensorDelegate.h"

#include <cstdint>
#include <string>

namespace velorin {

struct Acquisition;
class ApplicationState;
class Clock;
class Log;

// The screen effects of intake. Called on the Bluetooth queue; implementations post the view work
// to the main queue and never wait for it.
class IntakeOutlets {
public:
    virtual ~IntakeOutlets() = default;
    virtual void showConnectedNotice() = 0;
    virtual bool sensorImageIsOk() const = 0;
    virtual void refreshSensorStatus() = 0;
    virtual void showBatteryLevel(std::uint8_t rawByte) = 0;
    // An ECG packet came after a silence (the first one, or one more than lateAfter behind the one
    // before): what follows on the trace is not next to what came before. Called before it is decoded.
    virtual void signalResumed() {}
};

// The chunk's end: called on the Bluetooth queue at every 268th counted packet.
class FlushTarget {
public:
    virtual ~FlushTarget() = default;
    virtual void writeTickToFile() = 0;
};

// Takes in every value update of the sensor: ECG packets are decoded, buffered and counted toward
// flushes; battery values go to the battery display.
class PacketIntake : public SensorDelegate {
public:
    // Packets come every 0.112 s; one this much later than the one before follows a silence.
    static constexpr Nanoseconds lateAfter = std::chrono::milliseconds(300);

    PacketIntake(Acquisition& acquisition, PacketDecoder& decoder, FlushTarget& writer,
                 const ApplicationState& appState, IntakeOutlets& outlets, const Clock& clock, Log& log);

    void peripheralDidUpdateValueForCharacteristic(std::string_view characteristic,
                                                   std::span<const std::uint8_t> value,
                                                   std::string_view error) override;

private:
    void takeEcgPacket(std::span<const std::uint8_t> packet);

    Acquisition& m_acq;
    PacketDecoder& m_decoder;
    FlushTarget& m_writer;
    const ApplicationState& m_appState;
    IntakeOutlets& m_outlets;
    const Clock& m_clock;
    Log& m_log;
    std::string m_text; // reused for every packet's sample text
};

} // namespace velorin
