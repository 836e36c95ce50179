#include "signal/PacketIntake.h"

#include "platform/ApplicationState.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "signal/Acquisition.h"
#include "signal/StreamFormat.h"

#include <mutex>

namespace velorin {

namespace {

std::string hexText(std::span<const std::uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text = "<";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0 && i % 4 == 0)
            text.push_back(' ');
        text.push_back(digits[bytes[i] >> 4]);
        text.push_back(digits[bytes[i] & 0x0F]);
    }
    text.push_back('>');
    return text;
}

} // namespace

PacketIntake::PacketIntake(Acquisition& acquisition, PacketDecoder& decoder, FlushTarget& writer,
                           const ApplicationState& appState, IntakeOutlets& outlets, const Clock& clock, Log& log)
    : m_acq(acquisition), m_decoder(decoder), m_writer(writer), m_appState(appState), m_outlets(outlets),
      m_clock(clock), m_log(log)
{
}

void PacketIntake::peripheralDidUpdateValueForCharacteristic(std::string_view characteristic,
                                                             std::span<const std::uint8_t> value,
                                                             std::string_view error)
{
    // An update that carries an error is still taken in.
    if (!error.empty())
        m_log.line("Error writing characteristic " + std::string(error));
    if (m_log.verbose())
        m_log.line("Update");
    m_acq.valueUpdateCount.fetch_add(1, std::memory_order_relaxed);

    if (characteristic == profile::ecgPacket) {
        takeEcgPacket(value);
    } else if (characteristic == profile::batteryLevel) {
        if (!value.empty())
            m_outlets.showBatteryLevel(value[0]);
    }
}

void PacketIntake::takeEcgPacket(std::span<const std::uint8_t> packet)
{
    if (m_log.verbose())
        m_log.line("Value " + hexText(packet));

    const std::int64_t now = m_clock.monotonic().count();
    const std::int64_t before = m_acq.lastEcgPacketAt.exchange(now, std::memory_order_relaxed);
    if (before == Acquisition::noPacketYet || now - before > lateAfter.count())
        m_outlets.signalResumed();

    const std::size_t uploadStart = m_acq.uploadBuffer.size();
    const bool decoded = m_decoder.calculateBits(packet, m_text);
    const bool counted = m_acq.countsTowardFlush(m_appState.isActive());
    bool dropping = false;
    {
        std::lock_guard lock(m_acq.bufferMutex);
        const std::size_t textStart = m_acq.sampleText.size(), recordStart = m_acq.recordBuffer.size();
        // A short packet's note stands in the stream just before its record.
        if (!decoded)
            m_acq.recordBuffer.append(streamErrorText(m_acq.chunkStamp));
        m_acq.sampleText.append(m_text);
        m_acq.sampleText.push_back(' ');
        appendPacketRecord(m_acq.recordBuffer, packet);
        if (counted) {
            // A chunk counted from here holds at most one chunk of what came before.
            m_acq.uncountedText.trim(m_acq.sampleText);
            m_acq.uncountedText.forget();
            m_acq.uncountedRecords.trim(m_acq.recordBuffer);
            m_acq.uncountedRecords.forget();
        } else {
            dropping = m_acq.uncountedText.noteUncounted(m_acq.sampleText, textStart);
            m_acq.uncountedRecords.noteUncounted(m_acq.recordBuffer, recordStart);
        }
    }
    if (counted) {
        m_acq.uncountedUploads.trim(m_acq.uploadBuffer);
        m_acq.uncountedUploads.forget();
    } else {
        m_acq.uncountedUploads.noteUncounted(m_acq.uploadBuffer, uploadStart);
    }
    if (dropping)
        m_log.line("Not recording: only the latest " + std::to_string(packetsPerFlush) +
                   " packets are kept for the next chunk");
    m_acq.packetsSinceStart.fetch_add(1, std::memory_order_relaxed);

    if (m_acq.connectNoticePending.load() == 1 && m_acq.valueUpdateCount.load() == 3) {
        m_outlets.showConnectedNotice();
        m_acq.connectNoticePending.store(0);
        m_acq.valueUpdateCount.store(0);
    }

    if (!m_outlets.sensorImageIsOk() && m_acq.sensorStatusShown.load() == 0)
        m_outlets.refreshSensorStatus();

    if (counted && ++m_acq.flushCounter >= packetsPerFlush) {
        m_writer.writeTickToFile();
        m_acq.flushCounter = 0;
    }
}

} // namespace velorin
