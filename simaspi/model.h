// The model behind the simulated bus: adapters, devices and what a device
// does with a command descriptor block. Nothing here touches Windows; the
// library's entry points (simaspi.cpp) wrap it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace simaspi {

enum class Completion { Sync, Async };

// What a CD-ROM drive does with a SET CD SPEED request that is not one of
// its speeds.
enum class SpeedPolicy {
    Ceil,     // smallest speed at or above the request; above all: the highest
    Nearest,  // closest speed; a tie goes to the higher one
    Floor     // largest speed at or below the request; below all: the lowest
};

// What page 2Ah's current read speed field holds (obsolete since MMC-3).
enum class SpeedReport {
    Current,  // the speed reads run at
    Zero,     // always 0
    Maximum   // always the maximum, whatever was set
};

// What a drive does with SET CD SPEED.
enum class CdSpeedRule {
    Accept,    // sets the speed
    Refuse,    // an unknown command
    IgnoreDvd  // accepted, but with a DVD or BD medium the speed stays
};

// SET STREAMING and GET PERFORMANCE (the Real Time Streaming feature).
enum class StreamingRule {
    None,    // not listed; both commands unknown
    Refuse,  // listed, but SET STREAMING ends in an error
    Accept   // sets the speed reads run at
};

// The kind of a drive (which profiles and features GET CONFIGURATION lists,
// what page 2Ah says it reads) and of its medium (the current profile).
enum class MediaKind { None, Cd, Dvd, Bd };

// Commands a bus file can make fail (`fail=` of a device section).
enum FailBit : std::uint32_t {
    FAIL_DEVTYPE = 1u << 0,
    FAIL_INQUIRY = 1u << 1,
    FAIL_TUR = 1u << 2,
    FAIL_SETSPEED = 1u << 3,
    FAIL_MODESENSE_2A = 1u << 4,
    FAIL_MODESENSE_0D = 1u << 5,
    FAIL_MODESELECT = 1u << 6,
    FAIL_STARTSTOP = 1u << 7,
    FAIL_PREVENT = 1u << 8,
};

// SCSI peripheral device types the model gives behaviour to.
constexpr std::uint8_t TYPE_DISK = 0;
constexpr std::uint8_t TYPE_TAPE = 1;
constexpr std::uint8_t TYPE_WORM = 4;
constexpr std::uint8_t TYPE_CDROM = 5;
constexpr std::uint8_t TYPE_OPTICAL = 7;
constexpr std::uint8_t TYPE_CHANGER = 8;

// Removable-medium classes: they have a tray, a medium and a lock.
bool IsRemovableType(std::uint8_t type);

// Mode pages a CD-ROM drive can answer.
constexpr std::uint8_t PAGE_CD_PARAMETERS = 0x0D;
constexpr std::uint8_t PAGE_CAPABILITIES = 0x2A;
constexpr std::uint8_t PAGE_POWER_CONDITION = 0x1A;

constexpr std::size_t VENDOR_LEN = 8;
constexpr std::size_t PRODUCT_LEN = 16;
constexpr std::size_t REVISION_LEN = 4;
constexpr std::size_t ADAPTER_TEXT_LEN = 16;

// Room for block descriptors in a MODE SENSE reply (eight bytes each).
constexpr std::uint32_t MAX_BLOCK_DESCRIPTOR_BYTES = 64;

struct Device {
    std::uint8_t adapter = 0;
    std::uint8_t target = 0;
    std::uint8_t lun = 0;
    std::uint8_t type = TYPE_DISK;
    std::string vendor;  // bytes as they go into INQUIRY, before padding
    std::string product;
    std::string revision;
    std::uint32_t fail = 0;  // FailBit set
    // Requests that never complete (`hang=`), and ones that complete only
    // after some seconds (`late=`): FailBit, seconds.
    std::uint32_t hang = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> late;

    // Removable medium (types 1, 4, 5, 7, 8).
    bool lockable = true;
    bool locked = false;
    bool trayOpen = false;
    bool medium = true;

    // CD-ROM drive (type 5).
    std::vector<std::uint16_t> speeds;
    SpeedPolicy policy = SpeedPolicy::Ceil;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> speedMap;  // request -> result
    std::uint16_t maxSpeed = 0;
    std::uint16_t currentSpeed = 0;
    std::uint8_t inactivity = 0;
    std::vector<std::uint8_t> pages;

    // Odd but lawful mode data, and faulty replies.
    std::uint8_t inactivityReserved = 0;    // high bits set beside the code
    std::uint8_t blockDescriptorBytes = 0;  // block descriptors before the page
    int pageReply = -1;                     // page code answered instead of the one asked
    int modeDataCut = -1;                   // bytes of mode data sent, header included

    // Drives of the DVD era. A drive without a kind is one of the CD-ROM era:
    // it knows none of GET CONFIGURATION, GET PERFORMANCE, SET STREAMING.
    SpeedReport speedReport = SpeedReport::Current;
    CdSpeedRule cdSpeed = CdSpeedRule::Accept;
    StreamingRule streaming = StreamingRule::None;
    MediaKind kind = MediaKind::None;
    MediaKind profile = MediaKind::None;  // the medium's; None: as the kind
    std::vector<std::pair<std::uint16_t, std::uint16_t>> writeSpeeds;  // read, write (KB/s)
    bool idleOn = false;  // page 1Ah: timers in 100 ms units
    bool standbyOn = false;
    std::uint32_t idleTimer = 0;
    std::uint32_t standbyTimer = 0;

    bool absent = false;  // gone from the bus for now (a misbehaving bus only)

    // Unit attentions waiting to be reported, oldest first, each by its
    // additional sense code (28h medium changed, 29h power on or reset). The
    // next command but INQUIRY and REQUEST SENSE takes the first one.
    std::vector<std::uint8_t> attention;
    bool streamed = false;      // the speed reads run at came from SET STREAMING
    bool keepStreaming = true;  // a medium change leaves a SET STREAMING speed

    // The current profile's kind: none without a medium.
    MediaKind MediumKind() const;
    bool HasPage(std::uint8_t page) const;
    // A new disc in a closed tray: the drive's own speed is back (a speed
    // from SET STREAMING stays where the drive keeps it) and a unit
    // attention waits for the next command.
    void ChangeMedium();
};

// Additional sense codes of the unit attentions a device reports.
constexpr std::uint8_t ASC_MEDIUM_CHANGED = 0x28;
constexpr std::uint8_t ASC_POWER_ON_RESET = 0x29;

struct Adapter {
    std::uint8_t targets = 8;
    std::uint32_t maxTransfer = 65536;
    std::uint8_t scsiId = 7;
    std::string manager = "ASPI for WIN32";
    std::string identifier = "SIMBUS";
    bool fail = false;
    bool absent = false;  // gone from the bus for now (a misbehaving bus only)
};

// A bus that misbehaves ([misbehave] of the bus file). Every decision is drawn
// from one generator started at the seed, so a run over the same requests
// replays exactly. Rates are percentages.
struct Misbehaviour {
    bool on = false;
    std::uint64_t seed = 1;
    std::uint32_t errorRate = 0;       // a SCSI command ends in a random error status
    std::uint32_t shortRate = 0;       // a reply carries fewer bytes than asked
    std::uint32_t longLengthRate = 0;  // a mode data length beyond the buffer
    std::uint32_t nonsenseRate = 0;    // page 2Ah / 0Dh with nonsense in it
    std::uint32_t textRate = 0;        // INQUIRY texts with control bytes, no blanks, FFh
    std::uint32_t typeRate = 0;        // the device type changes from one call to the next
    std::uint32_t vanishRate = 0;      // per device and adapter at each rescan: gone or back
    std::uint32_t asyncRate = 0;       // completed later by a worker
    std::uint32_t delayMaxMs = 0;      // the longest such a completion waits
};

struct Bus {
    std::uint8_t status = 0x01;  // status byte of the support word
    Completion completion = Completion::Sync;
    std::uint32_t latencyMs = 0;
    std::uint32_t dllVersion = 0;
    std::uint16_t supportHigh = 0;       // bits 31..16 of the support word, which mean nothing
    std::uint8_t registerStatus = 0x01;  // what RegisterASPI32Client returns
    bool signalSync = true;  // the event is signalled also for a block completed at once
    int returnStatus = -1;   // what a synchronous SendASPI32Command returns, if not the status
    std::vector<Adapter> adapters;  // index = adapter number; size = adapter count
    std::vector<Device> devices;    // in address order
    Misbehaviour misbehave;

    // Adapters reported: up to the last one that is not absent.
    std::size_t AdapterCount() const;
    bool AdapterPresent(std::uint8_t adapter) const;

    Device* Find(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun);
};

struct ParseResult {
    bool ok = false;
    Bus bus;
    int line = 0;  // where the problem is (0: the file as a whole)
    std::string problem;
};

// Reads a bus file's text.
ParseResult ParseBusText(const std::string& text);

// The bus used when no bus file is named.
extern const char* const kDefaultBusText;
Bus DefaultBus();

// What a device does with a speed request.
std::uint16_t ChooseSpeed(const Device& device, std::uint16_t request);

// The end of one SCSI command on a device. Sense data follow the fixed
// format: key, additional sense code and qualifier.
struct Outcome {
    std::uint8_t status = 0;  // SS_COMP or SS_ERR
    std::uint8_t senseKey = 0;
    std::uint8_t asc = 0;
    std::uint8_t ascq = 0;
    bool changed = false;       // the device's state changed
    std::uint32_t dataLen = 0;  // bytes of data sent to the host
};

// Carries out one command. Data for the host go into buf, never more than
// bufLen bytes; a parameter list is read from buf, never more than bufLen.
Outcome Execute(Device& device, const std::uint8_t* cdb, std::size_t cdbLen, std::uint8_t* buf,
                std::uint32_t bufLen);

// Writes the fixed-format sense data of an outcome (up to len bytes).
constexpr std::size_t SENSE_DATA_LEN = 18;
void WriteSense(const Outcome& outcome, std::uint8_t* sense, std::size_t len);

// One line of the state file, without the line end.
std::string StateLine(const Device& device);

// Text padded with blanks (or cut) to a field width.
void PutField(std::uint8_t* dst, const std::string& text, std::size_t width);

}  // namespace simaspi
