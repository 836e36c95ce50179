#pragma once

#include "platform/ByteReader.h"
#include "platform/virtual/VirtualRuntime.h"
#include "sensor/SensorSource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velorin::test {

// A virtual runtime whose queues note which of them is running, and a delegate that records every
// update with its time since the start and the queue that delivered it.
struct SensorHarness {
    struct LabelledQueue : Queue {
        LabelledQueue(Queue& inner, std::string label, std::string& running)
            : inner(inner), label(std::move(label)), running(running)
        {
        }
        void async(Task task) override
        {
            inner.async([this, task = std::move(task)] {
                const std::string outer = running;
                running = label;
                task();
                running = outer;
            });
        }
        Queue& inner;
        std::string label;
        std::string& running;
    };
    struct Update {
        std::string characteristic;
        std::vector<std::uint8_t> value;
        double at;
        std::string queue;
    };
    struct Recorder : SensorDelegate {
        explicit Recorder(SensorHarness& h) : h(h) {}
        void peripheralDidUpdateValueForCharacteristic(std::string_view characteristic,
                                                       std::span<const std::uint8_t> value,
                                                       std::string_view error) override
        {
            EXPECT_TRUE(error.empty());
            h.updates.push_back(
                {std::string(characteristic), {value.begin(), value.end()}, h.runtime.elapsed(), h.running});
        }
        SensorHarness& h;
    };

    VirtualRuntime runtime{1000.0};
    std::string running = "timer";
    LabelledQueue bluetooth{runtime.bluetoothQueue(), "bluetooth", running};
    LabelledQueue main{runtime.mainQueue(), "main", running};
    std::vector<Update> updates;
    Recorder delegate{*this};
};

// Hands out `text` in one read, then fails every read after it with `problem`.
struct FailingReader : ByteReader {
    FailingReader(std::string text, std::string problem) : text(std::move(text)), problem(std::move(problem)) {}
    std::size_t read(char* into, std::size_t size, FileResult& result) override
    {
        if (given) {
            result = FileResult::failure(problem);
            return 0;
        }
        given = true;
        const std::size_t n = std::min(size, text.size());
        std::copy_n(text.data(), n, into);
        return n;
    }
    std::string text, problem;
    bool given = false;
};

} // namespace velorin::test
