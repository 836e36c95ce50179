#pragma once

#include "sensor/BleCentral.h"

#include <memory>

namespace velorin {

// The owner's handle on a central whose state is shared with its peripherals (which may outlive
// it): dropping the handle closes the central, whoever still holds a peripheral.
template <typename Central>
class ClosingCentral : public BleCentral {
public:
    explicit ClosingCentral(std::shared_ptr<Central> central) : m_central(std::move(central)) {}
    ~ClosingCentral() override { m_central->close(); }
    ClosingCentral(const ClosingCentral&) = delete;
    ClosingCentral& operator=(const ClosingCentral&) = delete;

    CentralState state() const override { return m_central->state(); }
    void scanForPeripherals() override { m_central->scanForPeripherals(); }
    void stopScan() override { m_central->stopScan(); }
    void connectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral) override
    {
        m_central->connectPeripheral(peripheral);
    }
    void cancelPeripheralConnection(const std::shared_ptr<BlePeripheral>& peripheral) override
    {
        m_central->cancelPeripheralConnection(peripheral);
    }

private:
    std::shared_ptr<Central> m_central;
};

} // namespace velorin
