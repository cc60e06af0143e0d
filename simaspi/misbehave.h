// The decisions of a misbehaving bus: which command fails and how, which
// reply comes back cut short or with nonsense in it, which device changes its
// type or leaves the bus. One generator, started at the bus file's seed,
// draws them all, so the same requests in the same order meet the same
// misbehaviour. Nothing here touches Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "model.h"

namespace simaspi {

// The command of a CDB as a FailBit (the names of fail=, hang= and late=);
// 0 for a command those keys do not name.
std::uint32_t CommandBit(const std::uint8_t* cdb, std::size_t cdbLen);

// How a device holds a request for this CDB: -1 never completes it, N > 0
// completes it after N seconds, 0 completes it as usual.
long HoldSeconds(const Device& device, const std::uint8_t* cdb, std::size_t cdbLen);

class Chaos {
public:
    Chaos() = default;
    explicit Chaos(const Misbehaviour& m) : m_(m), state_(m.seed) {}

    bool On() const { return m_.on; }

    // The status a SCSI command ends with instead of being carried out; 0
    // lets it run.
    std::uint8_t CommandError();

    // Whether a command completes later, and after how long.
    bool Async();
    std::uint32_t DelayMs();

    // Another device type for this answer, or -1 to keep it.
    int OtherType(std::uint8_t type);

    // Works on a data-in reply of dataLen bytes in data (room for cap). Gives
    // the number of bytes that reach the host; what it did goes into what.
    std::uint32_t MangleReply(const std::uint8_t* cdb, std::size_t cdbLen, std::uint8_t* data,
                              std::uint32_t dataLen, std::uint32_t cap, std::string& what);

    // Devices and adapters leave the bus or come back.
    void Reshuffle(Bus& bus, std::string& what);

private:
    std::uint32_t Next();
    bool Roll(std::uint32_t percent) { return percent && Next() % 100 < percent; }
    std::uint32_t Below(std::uint32_t n) { return n ? Next() % n : 0; }

    void MangleInquiry(std::uint8_t* data, std::uint32_t len, std::string& what);
    void MangleModePage(std::uint8_t* data, std::uint32_t len, std::uint32_t cap,
                        std::string& what);

    Misbehaviour m_;
    std::uint64_t state_ = 1;
};

}  // namespace simaspi
