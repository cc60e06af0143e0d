// The bus file: an INI text with [bus], [adapter.N] and [device.A.T] sections.
#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>
#include <tuple>

#include "model.h"

namespace simaspi {

const char* const kDefaultBusText =
    "[bus]\n"
    "status=0x01\n"
    "completion=sync\n"
    "[adapter.0]\n"
    "targets=8\n"
    "max_transfer=65536\n"
    "scsi_id=7\n"
    "manager=ASPI for WIN32\n"
    "identifier=SIMBUS\n"
    "[device.0.0]\n"
    "type=0\n"
    "vendor=SIMDISK\n"
    "product=HARD DISK\n"
    "revision=1.00\n"
    "[device.0.2]\n"
    "type=5\n"
    "vendor=SIMDISC\n"
    "product=CD-ROM DRIVE\n"
    "revision=1.00\n"
    "speeds=704,1408,2816,4224,5632,7056\n"
    "speed_policy=ceil\n"
    "[device.0.4]\n"
    "type=5\n"
    "vendor=SIMDISC\n"
    "product=DVD-ROM DRIVE\n"
    "revision=2.10\n"
    "speeds=1764,2822,4234,5645,7056,8467\n"
    "speed_policy=nearest\n";

namespace {

// The longest a late= request waits to complete: an hour.
constexpr std::uint64_t MAX_LATE_SECONDS = 3600;

// The CD-ROM drive's speeds when the bus file names none: 4x to 40x.
const std::vector<std::uint16_t> kDefaultSpeeds = {704, 1408, 2816, 4224, 5632, 7056};

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = s.find(sep, start);
        parts.push_back(Trim(s.substr(start, at - start)));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decimal, or hexadecimal with 0x; nothing else, no sign.
bool ParseNumber(const std::string& s, std::uint64_t max, std::uint64_t& out) {
    std::uint64_t v = 0;
    std::size_t i = 0;
    unsigned base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        i = 2;
    }
    if (i >= s.size()) return false;
    for (; i < s.size(); ++i) {
        int d = HexDigit(s[i]);
        if (d < 0 || unsigned(d) >= base) return false;
        v = v * base + unsigned(d);
        if (v > max) return false;
    }
    out = v;
    return true;
}

// A hexadecimal page code with or without 0x ("2a", "0x0d").
bool ParsePage(const std::string& s, std::uint8_t& out) {
    std::string digits = s;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 2) return false;
    int v = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return false;
        v = v * 16 + d;
    }
    if (v > 0x3F) return false;
    out = static_cast<std::uint8_t>(v);
    return true;
}

// Text with \xNN escapes (and \\ for a backslash).
bool ParseText(const std::string& s, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (i + 1 < s.size() && s[i + 1] == '\\') {
            out += '\\';
            ++i;
            continue;
        }
        if (i + 3 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X') && HexDigit(s[i + 2]) >= 0 &&
            HexDigit(s[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(s[i + 2]) * 16 + HexDigit(s[i + 3]));
            i += 3;
            continue;
        }
        return false;
    }
    return true;
}

struct DeviceDraft {
    Device device;
    bool hasMax = false;
    bool hasCurrent = false;
};

class Parser {
public:
    ParseResult Run(const std::string& text);

private:
    enum class Section { None, Bus, Adapter, Device, Misbehave };

    bool Header(const std::string& name);
    bool Key(const std::string& key, const std::string& value);
    bool BusKey(const std::string& key, const std::string& value);
    bool AdapterKey(const std::string& key, const std::string& value);
    bool DeviceKey(const std::string& key, const std::string& value);
    bool MisbehaveKey(const std::string& key, const std::string& value);
    // A command name of fail=, hang= or late= as its FailBit.
    bool Command(const std::string& key, const std::string& name, std::uint32_t& bit);

    bool Number(const std::string& key, const std::string& value, std::uint64_t max,
                std::uint64_t& out);
    bool Flag(const std::string& key, const std::string& value, bool& out);
    bool Text(const std::string& key, const std::string& value, std::string& out);
    // One of the words of names, in any case.
    template <typename T, std::size_t N>
    bool Choice(const std::string& key, const std::string& value,
                const std::pair<const char*, T> (&names)[N], T& out) {
        const std::string word = Lower(value);
        for (const auto& name : names)
            if (word == name.first) {
                out = name.second;
                return true;
            }
        return Fail("bad value '" + value + "' for " + key);
    }
    bool Fail(const std::string& problem) {
        problem_ = problem;
        return false;
    }

    std::string problem_;
    Section section_ = Section::None;
    std::string sectionName_;
    Bus bus_;
    bool adapterCountGiven_ = false;
    std::uint64_t adapterCount_ = 0;
    std::map<int, Adapter> adapters_;
    std::map<std::tuple<int, int, int>, DeviceDraft> devices_;
    Adapter* adapter_ = nullptr;
    DeviceDraft* device_ = nullptr;
};

ParseResult Parser::Run(const std::string& text) {
    ParseResult result;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        std::size_t comment = line.find(';');
        if (comment != std::string::npos) line = Trim(line.substr(0, comment));
        bool good;
        if (line[0] == '[') {
            if (line.back() != ']') {
                good = Fail("bad section header " + line);
            } else {
                good = Header(Lower(Trim(line.substr(1, line.size() - 2))));
            }
        } else {
            std::size_t eq = line.find('=');
            if (eq == std::string::npos) {
                good = Fail("expected key=value: " + line);
            } else {
                good = Key(Lower(Trim(line.substr(0, eq))), Trim(line.substr(eq + 1)));
            }
        }
        if (!good) {
            result.line = lineNo;
            result.problem = problem_;
            return result;
        }
    }

    // Without a count the highest section number sets it; the gaps hold
    // default adapters, so [adapter.2] is never dropped behind [adapter.0].
    std::size_t count = adapterCount_;
    if (!adapterCountGiven_)
        count = adapters_.empty() ? 0 : std::size_t(adapters_.rbegin()->first) + 1;
    for (std::size_t i = 0; i < count; ++i) {
        auto it = adapters_.find(int(i));
        bus_.adapters.push_back(it != adapters_.end() ? it->second : Adapter());
    }
    for (auto& entry : devices_) {
        DeviceDraft& d = entry.second;
        if (!d.hasMax) {
            d.device.maxSpeed = d.device.speeds.empty() ? 0
                                                        : *std::max_element(d.device.speeds.begin(),
                                                                            d.device.speeds.end());
        }
        if (!d.hasCurrent) d.device.currentSpeed = d.device.maxSpeed;
        bus_.devices.push_back(d.device);
    }
    result.ok = true;
    result.bus = bus_;
    return result;
}

bool Parser::Header(const std::string& name) {
    std::vector<std::string> parts = Split(name, '.');
    std::vector<int> numbers;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::uint64_t v;
        if (!ParseNumber(parts[i], 255, v)) return Fail("unknown section [" + name + "]");
        numbers.push_back(int(v));
    }
    sectionName_ = name;
    if (parts[0] == "bus" && numbers.empty()) {
        section_ = Section::Bus;
        return true;
    }
    if (parts[0] == "misbehave" && numbers.empty()) {
        section_ = Section::Misbehave;
        bus_.misbehave.on = true;
        return true;
    }
    if (parts[0] == "adapter" && numbers.size() == 1) {
        if (adapters_.count(numbers[0])) return Fail("duplicate section [" + name + "]");
        section_ = Section::Adapter;
        adapter_ = &adapters_[numbers[0]];
        return true;
    }
    if (parts[0] == "device" && (numbers.size() == 2 || numbers.size() == 3)) {
        auto address =
            std::make_tuple(numbers[0], numbers[1], numbers.size() == 3 ? numbers[2] : 0);
        if (devices_.count(address)) return Fail("duplicate section [" + name + "]");
        section_ = Section::Device;
        device_ = &devices_[address];
        device_->device.adapter = std::uint8_t(std::get<0>(address));
        device_->device.target = std::uint8_t(std::get<1>(address));
        device_->device.lun = std::uint8_t(std::get<2>(address));
        device_->device.speeds = kDefaultSpeeds;
        device_->device.pages = {PAGE_CAPABILITIES, PAGE_CD_PARAMETERS};
        return true;
    }
    return Fail("unknown section [" + name + "]");
}

bool Parser::Key(const std::string& key, const std::string& value) {
    switch (section_) {
    case Section::None: return Fail("key outside a section: " + key);
    case Section::Bus: return BusKey(key, value);
    case Section::Adapter: return AdapterKey(key, value);
    case Section::Device: return DeviceKey(key, value);
    case Section::Misbehave: return MisbehaveKey(key, value);
    }
    return false;
}

bool Parser::Number(const std::string& key, const std::string& value, std::uint64_t max,
                    std::uint64_t& out) {
    if (ParseNumber(value, max, out)) return true;
    return Fail("bad number '" + value + "' for " + key);
}

bool Parser::Flag(const std::string& key, const std::string& value, bool& out) {
    std::uint64_t v;
    if (!Number(key, value, 1, v)) return false;
    out = v != 0;
    return true;
}

bool Parser::Text(const std::string& key, const std::string& value, std::string& out) {
    if (ParseText(value, out)) return true;
    return Fail("bad escape in '" + value + "' for " + key);
}

bool Parser::BusKey(const std::string& key, const std::string& value) {
    std::uint64_t v;
    if (key == "status") {
        if (!Number(key, value, 0xFF, v)) return false;
        bus_.status = std::uint8_t(v);
    } else if (key == "adapters") {
        if (!Number(key, value, 0xFF, adapterCount_)) return false;
        adapterCountGiven_ = true;
    } else if (key == "completion") {
        static const std::pair<const char*, Completion> completions[] = {
            {"sync", Completion::Sync}, {"async", Completion::Async}};
        return Choice(key, value, completions, bus_.completion);
    } else if (key == "latency_ms") {
        if (!Number(key, value, 600000, v)) return false;
        bus_.latencyMs = std::uint32_t(v);
    } else if (key == "dll_version") {
        if (!Number(key, value, 0xFFFFFFFFu, v)) return false;
        bus_.dllVersion = std::uint32_t(v);
    } else if (key == "register_status") {
        if (!Number(key, value, 0xFF, v)) return false;
        bus_.registerStatus = std::uint8_t(v);
    } else if (key == "signal_sync") {
        return Flag(key, value, bus_.signalSync);
    } else if (key == "support_high") {
        if (!Number(key, value, 0xFFFF, v)) return false;
        bus_.supportHigh = std::uint16_t(v);
    } else if (key == "return_status") {
        if (!Number(key, value, 0xFF, v)) return false;
        bus_.returnStatus = int(v);
    } else {
        return Fail("unknown key '" + key + "' in [" + sectionName_ + "]");
    }
    return true;
}

bool Parser::AdapterKey(const std::string& key, const std::string& value) {
    std::uint64_t v;
    Adapter& a = *adapter_;
    if (key == "targets") {
        if (!Number(key, value, 0xFF, v)) return false;
        a.targets = std::uint8_t(v);
    } else if (key == "max_transfer") {
        if (!Number(key, value, 0xFFFFFFFFu, v)) return false;
        a.maxTransfer = std::uint32_t(v);
    } else if (key == "scsi_id") {
        if (!Number(key, value, 0xFF, v)) return false;
        a.scsiId = std::uint8_t(v);
    } else if (key == "manager") {
        return Text(key, value, a.manager);
    } else if (key == "identifier") {
        return Text(key, value, a.identifier);
    } else if (key == "fail") {
        return Flag(key, value, a.fail);
    } else {
        return Fail("unknown key '" + key + "' in [" + sectionName_ + "]");
    }
    return true;
}

bool Parser::Command(const std::string& key, const std::string& name, std::uint32_t& bit) {
    static const std::pair<const char*, std::uint32_t> names[] = {
        {"devtype", FAIL_DEVTYPE},
        {"inquiry", FAIL_INQUIRY},
        {"tur", FAIL_TUR},
        {"setspeed", FAIL_SETSPEED},
        {"modesense2a", FAIL_MODESENSE_2A},
        {"modesense0d", FAIL_MODESENSE_0D},
        {"modeselect", FAIL_MODESELECT},
        {"startstop", FAIL_STARTSTOP},
        {"prevent", FAIL_PREVENT},
    };
    // The device type is the library's own answer, given inside the call:
    // it cannot be held.
    for (const auto& row : names)
        if (name == row.first && (key == "fail" || row.second != FAIL_DEVTYPE)) {
            bit = row.second;
            return true;
        }
    return Fail("unknown command '" + name + "' in " + key);
}

bool Parser::DeviceKey(const std::string& key, const std::string& value) {
    std::uint64_t v;
    DeviceDraft& draft = *device_;
    Device& d = draft.device;
    if (key == "type") {
        if (!Number(key, value, 0xFF, v)) return false;
        d.type = std::uint8_t(v);
    } else if (key == "vendor") {
        return Text(key, value, d.vendor);
    } else if (key == "product") {
        return Text(key, value, d.product);
    } else if (key == "revision") {
        return Text(key, value, d.revision);
    } else if (key == "fail" || key == "hang") {
        std::uint32_t& bits = key == "fail" ? d.fail : d.hang;
        bits = 0;
        std::string list = Lower(value);
        if (list.empty() || list == "0" || list == "none") return true;
        for (const std::string& name : Split(list, ',')) {
            std::uint32_t bit;
            if (!Command(key, name, bit)) return false;
            bits |= bit;
        }
    } else if (key == "late") {
        // command:seconds pairs
        d.late.clear();
        if (value.empty()) return true;
        for (const std::string& item : Split(Lower(value), ',')) {
            const std::size_t colon = item.find(':');
            if (colon == std::string::npos) return Fail("bad pair '" + item + "' in late");
            std::uint32_t bit;
            if (!Command(key, Trim(item.substr(0, colon)), bit) ||
                !Number(key, Trim(item.substr(colon + 1)), MAX_LATE_SECONDS, v))
                return false;
            d.late.emplace_back(bit, std::uint32_t(v));
        }
    } else if (key == "speeds") {
        d.speeds.clear();
        if (value.empty()) return true;
        for (const std::string& item : Split(value, ',')) {
            if (!Number(key, item, 0xFFFF, v)) return false;
            d.speeds.push_back(std::uint16_t(v));
        }
    } else if (key == "speed_map") {
        d.speedMap.clear();
        if (value.empty()) return true;
        for (const std::string& item : Split(value, ',')) {
            std::size_t colon = item.find(':');
            if (colon == std::string::npos) return Fail("bad pair '" + item + "' in speed_map");
            std::uint64_t req, got;
            if (!Number(key, Trim(item.substr(0, colon)), 0xFFFF, req) ||
                !Number(key, Trim(item.substr(colon + 1)), 0xFFFF, got))
                return false;
            d.speedMap.emplace_back(std::uint16_t(req), std::uint16_t(got));
        }
    } else if (key == "speed_policy") {
        static const std::pair<const char*, SpeedPolicy> policies[] = {
            {"ceil", SpeedPolicy::Ceil},
            {"nearest", SpeedPolicy::Nearest},
            {"floor", SpeedPolicy::Floor}};
        return Choice(key, value, policies, d.policy);
    } else if (key == "max_speed") {
        if (!Number(key, value, 0xFFFF, v)) return false;
        d.maxSpeed = std::uint16_t(v);
        draft.hasMax = true;
    } else if (key == "current_speed") {
        if (!Number(key, value, 0xFFFF, v)) return false;
        d.currentSpeed = std::uint16_t(v);
        draft.hasCurrent = true;
    } else if (key == "lockable") {
        return Flag(key, value, d.lockable);
    } else if (key == "locked") {
        return Flag(key, value, d.locked);
    } else if (key == "medium") {
        return Flag(key, value, d.medium);
    } else if (key == "tray") {
        static const std::pair<const char*, bool> trays[] = {{"open", true}, {"closed", false}};
        return Choice(key, value, trays, d.trayOpen);
    } else if (key == "inactivity") {
        if (!Number(key, value, 15, v)) return false;
        d.inactivity = std::uint8_t(v);
    } else if (key == "inactivity_reserved") {
        if (!Number(key, value, 0xF0, v)) return false;
        d.inactivityReserved = std::uint8_t(v & 0xF0);
    } else if (key == "block_descriptors") {
        if (!Number(key, value, MAX_BLOCK_DESCRIPTOR_BYTES, v)) return false;
        d.blockDescriptorBytes = std::uint8_t(v);
    } else if (key == "page_reply") {
        if (!Number(key, value, 0x3F, v)) return false;
        d.pageReply = int(v);
    } else if (key == "mode_data_cut") {
        if (!Number(key, value, 0xFFFF, v)) return false;
        d.modeDataCut = int(v);
    } else if (key == "speed_report") {
        static const std::pair<const char*, SpeedReport> reports[] = {
            {"current", SpeedReport::Current},
            {"zero", SpeedReport::Zero},
            {"max", SpeedReport::Maximum}};
        return Choice(key, value, reports, d.speedReport);
    } else if (key == "cd_speed") {
        static const std::pair<const char*, CdSpeedRule> rules[] = {
            {"accept", CdSpeedRule::Accept},
            {"refuse", CdSpeedRule::Refuse},
            {"ignore_dvd", CdSpeedRule::IgnoreDvd}};
        return Choice(key, value, rules, d.cdSpeed);
    } else if (key == "streaming") {
        static const std::pair<const char*, StreamingRule> rules[] = {
            {"none", StreamingRule::None},
            {"refuse", StreamingRule::Refuse},
            {"accept", StreamingRule::Accept}};
        return Choice(key, value, rules, d.streaming);
    } else if (key == "kind" || key == "profile") {
        static const std::pair<const char*, MediaKind> kinds[] = {{"none", MediaKind::None},
                                                                  {"cd", MediaKind::Cd},
                                                                  {"dvd", MediaKind::Dvd},
                                                                  {"bd", MediaKind::Bd}};
        return Choice(key, value, kinds, key == "kind" ? d.kind : d.profile);
    } else if (key == "write_speeds") {
        // read:write pairs in KB/s; a bare number writes at the speed it reads
        d.writeSpeeds.clear();
        if (value.empty()) return true;
        for (const std::string& item : Split(value, ',')) {
            std::size_t colon = item.find(':');
            std::uint64_t read, write;
            if (!Number(key, Trim(item.substr(0, colon)), 0xFFFF, read)) return false;
            write = read;
            if (colon != std::string::npos &&
                !Number(key, Trim(item.substr(colon + 1)), 0xFFFF, write))
                return false;
            d.writeSpeeds.emplace_back(std::uint16_t(read), std::uint16_t(write));
        }
    } else if (key == "idle_timer" || key == "standby_timer") {
        // 100 ms units; 0: the timer does not run
        if (!Number(key, value, 0xFFFFFFFFu, v)) return false;
        (key == "idle_timer" ? d.idleTimer : d.standbyTimer) = std::uint32_t(v);
        (key == "idle_timer" ? d.idleOn : d.standbyOn) = v != 0;
    } else if (key == "attention") {
        // unit attentions waiting at start, reported one per command in order
        static const std::pair<const char*, std::uint8_t> causes[] = {
            {"medium", ASC_MEDIUM_CHANGED}, {"reset", ASC_POWER_ON_RESET}};
        d.attention.clear();
        if (Lower(value) == "none") return true;
        for (const std::string& item : Split(value, ',')) {
            std::uint8_t asc;
            if (!Choice(key, item, causes, asc)) return false;
            d.attention.push_back(asc);
        }
    } else if (key == "keep_streaming") {
        return Flag(key, value, d.keepStreaming);
    } else if (key == "pages") {
        d.pages.clear();
        if (value.empty()) return true;
        for (const std::string& item : Split(value, ',')) {
            std::uint8_t page;
            if (!ParsePage(item, page)) return Fail("bad page '" + item + "' in pages");
            d.pages.push_back(page);
        }
    } else {
        return Fail("unknown key '" + key + "' in [" + sectionName_ + "]");
    }
    return true;
}

bool Parser::MisbehaveKey(const std::string& key, const std::string& value) {
    static const std::pair<const char*, std::uint32_t Misbehaviour::*> rates[] = {
        {"error_rate", &Misbehaviour::errorRate},
        {"short_rate", &Misbehaviour::shortRate},
        {"long_length_rate", &Misbehaviour::longLengthRate},
        {"nonsense_rate", &Misbehaviour::nonsenseRate},
        {"text_rate", &Misbehaviour::textRate},
        {"type_rate", &Misbehaviour::typeRate},
        {"vanish_rate", &Misbehaviour::vanishRate},
        {"async_rate", &Misbehaviour::asyncRate},
    };
    constexpr std::uint64_t MAX_DELAY_MS = 10000;
    std::uint64_t v;
    Misbehaviour& m = bus_.misbehave;
    if (key == "seed") {
        if (!Number(key, value, 0xFFFFFFFFu, v)) return false;
        m.seed = v;
        return true;
    }
    if (key == "delay_max_ms") {
        if (!Number(key, value, MAX_DELAY_MS, v)) return false;
        m.delayMaxMs = std::uint32_t(v);
        return true;
    }
    for (const auto& rate : rates) {
        if (key != rate.first) continue;
        if (!Number(key, value, 100, v)) return false;
        m.*rate.second = std::uint32_t(v);
        return true;
    }
    return Fail("unknown key '" + key + "' in [" + sectionName_ + "]");
}

}  // namespace

ParseResult ParseBusText(const std::string& text) { return Parser().Run(text); }

Bus DefaultBus() { return ParseBusText(kDefaultBusText).bus; }

Device* Bus::Find(std::uint8_t adapter, std::uint8_t target, std::uint8_t lun) {
    for (Device& d : devices) {
        if (d.adapter == adapter && d.target == target && d.lun == lun)
            return d.absent ? nullptr : &d;
    }
    return nullptr;
}

}  // namespace simaspi
