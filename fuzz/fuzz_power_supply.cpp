// Fuzzes the Linux power supply reader. The input describes a power_supply
// class directory, one entry a line:
//   NAME/ATTR=VALUE     an attribute file: VALUE and the kernel's newline
//   NAME/ATTR/          a directory where an attribute is expected
//   NAME=VALUE          a plain file where a supply is expected
// Whatever the files hold, the record and the details keep their
// invariants, and the charge blockers are sentences.
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "power/linux_power_source.h"
#include "power/power_status_rules.h"
#include "scratch_directory.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaxEntries = 48;  // keeps each run to a handful of system calls

bool IsUsableName(std::string_view name)
{
    return !name.empty() && name.size() <= 64 && name != "." && name != ".." && name.find('\0') == name.npos;
}

void MakeEntry(const fs::path& root, std::string_view line)
{
    const std::size_t slash = line.find('/');
    const std::size_t equals = line.find('=');
    const std::string_view supply = line.substr(0, std::min(slash, equals));
    if (!IsUsableName(supply))
        return;
    if (slash == line.npos) {
        if (equals != line.npos && !fs::exists(root / supply))
            std::ofstream(root / supply) << line.substr(equals + 1);
        return;
    }
    ::mkdir((root / supply).c_str(), 0755);
    const std::string_view rest = line.substr(slash + 1);
    const std::string_view name = rest.substr(0, rest.find_first_of("=/"));
    if (!IsUsableName(name) || fs::exists(root / supply / name))
        return;
    if (rest.size() > name.size() && rest[name.size()] == '/')
        ::mkdir((root / supply / name).c_str(), 0755);
    else
        std::ofstream(root / supply / name) << rest.substr(std::min(rest.size(), name.size() + 1)) << '\n';
}

void Check(bool holds, const char* invariant)
{
    if (holds)
        return;
    std::fprintf(stderr, "Invariant broken: %s\n", invariant);
    std::abort();
}

void CheckRecord(const SYSTEM_POWER_STATUS& s)
{
    using namespace power;
    const bool known = s.BatteryLifePercent != kUnknownByte;
    const auto isTime = [](std::int32_t t) { return t == kUnknownTime || t >= 0; };
    Check(s.ACLineStatus <= kAcOnline || s.ACLineStatus == kUnknownByte, "AC is 0, 1 or 255");
    Check(!known || s.BatteryLifePercent <= 100, "percent is 0..100 or 255");
    Check(known != (s.BatteryFlag == kFlagNoSystemBattery || s.BatteryFlag == kUnknownByte),
          "an unknown percent goes with flag 128 or 255, and only it");
    Check(!known || (s.BatteryFlag & ~kFlagCharging) == BatteryFlagFor(s.BatteryLifePercent, false),
          "high, low and critical follow the percent");
    Check(s.Reserved1 == 0, "reserved is 0");
    Check(isTime(s.BatteryLifeTime) && isTime(s.BatteryFullLifeTime), "times are -1 or non-negative");
    Check(s.BatteryLifeTime != kUnknownTime || s.BatteryFullLifeTime == kUnknownTime, "no full time without a remaining one");
    Check(s.BatteryFullLifeTime == kUnknownTime || s.BatteryLifeTime <= s.BatteryFullLifeTime, "remaining never above full");
    Check(s.BatteryLifeTime == kUnknownTime || s.ACLineStatus == kAcOffline, "times only on battery power");
}

void CheckDetails(const power::BatteryDetails& d)
{
    for (const auto& value : {d.energyNowWh, d.energyFullWh, d.energyDesignWh, d.powerW, d.voltageV})
        Check(!value || (std::isfinite(*value) && *value >= 0), "energies, power and voltage are finite, not negative");
    Check(!d.cycleCount || *d.cycleCount > 0, "a cycle count is above 0 or unknown");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fs::path root = fuzz::ScratchDirectory() / "power_supply";
    fs::remove_all(root);
    fs::create_directory(root);
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (int entries = 0; !input.empty() && entries < kMaxEntries; ++entries) {
        const std::size_t end = input.find('\n');
        MakeEntry(root, input.substr(0, end));
        input = end == input.npos ? std::string_view() : input.substr(end + 1);
    }
    // The tree doubles as the platform directory, so a NAME/conservation_mode is read too.
    const QString directory = QString::fromStdString(root.string());
    power::LinuxPowerSource source(directory, directory);
    SYSTEM_POWER_STATUS first = power::PowerStatus(0xA5, 0xA5, 0xA5, -7, -7);
    Check(source.Query(first) != 0, "a readable directory gives a record");
    CheckRecord(first);
    SYSTEM_POWER_STATUS second = power::PowerStatus(0x5A, 0x5A, 0x5A, -9, -9);
    source.Query(second);
    Check(std::memcmp(&first, &second, sizeof first) == 0, "unchanged files give the same record");
    CheckDetails(source.Details());
    for (const QString& blocker : source.ChargeBlockers())
        Check(!blocker.isEmpty(), "a charge blocker is a sentence");
    return 0;
}
