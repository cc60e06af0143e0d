// Test support: the pass-through library's test variant bound through the
// programs' own AspiBus, over a simulated bus file and the fake system's quirks.
#pragma once

#include <string>
#include <vector>

#include "aspi32.h"
#include "bus.h"
#include "device.h"
#include "sim_fixture.h"

namespace pttest {

constexpr const char* FAKE_LIBRARY = "ptaspi_fake.dll";

class FakeBus {
public:
    explicit FakeBus(const std::string& busFile, const std::string& quirks = "");
    ~FakeBus();
    FakeBus(const FakeBus&) = delete;
    FakeBus& operator=(const FakeBus&) = delete;

    // The pass-through requests the fake received, oldest first.
    std::vector<simtest::LogLine> PassThroughs() const;
    // With latency_ms: how many pass-throughs have begun.
    std::size_t Begun() const;
    // Waits until count pass-throughs have begun; false after 20 seconds.
    bool WaitUntilBegun(std::size_t count) const;
    // The library's SendASPI32Command, for blocks the binding only waits for.
    std::uint32_t Send(void* srb) const;
    // "adapter:target product" of every device the bus walk finds.
    std::vector<std::string> Devices() const;

    simtest::SimBus sim;
    AspiBus bus;
    CdromDevice drive;
};

// "adapter:target product" of every device the bus walk finds.
std::vector<std::string> Devices(const AspiBus& bus);

// SendASPI32Command of the loaded library named.
std::uint32_t Send(const char* library, void* srb);

// A CD-ROM drive section of a bus file, named by its product.
std::string Drive(int adapter, int target, const std::string& product);

// Sets the time-out of one address, in half seconds.
std::uint32_t SetTimeout(const FakeBus& fake, std::uint8_t adapter, std::uint8_t target,
                         std::uint32_t halfSeconds);

}  // namespace pttest
