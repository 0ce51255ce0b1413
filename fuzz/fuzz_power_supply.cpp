// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the Linux power supply reader. The input describes a power_supply
// class directory, one entry a line: NAME/ATTR=VALUE is an attribute file
// (VALUE and the kernel's newline), NAME/ATTR/ a directory where an attribute
// is expected, NAME=VALUE a plain file where a supply is expected.
// Whatever the files hold, record, details and charge blockers stay sound.
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "power/linux_power_source.h"
#include "power/power_status_rules.h"
#include "scratch_directory.h"

namespace fs = std::filesystem;
using std::string_view;

constexpr int kMaxEntries = 48;  // keeps each run to a handful of system calls

static bool IsUsableName(string_view n) { return !n.empty() && n.size() <= 64 && n != "." && n != ".." && n.find('\0') == n.npos; }

static void MakeEntry(const fs::path& root, string_view line)
{
    const std::size_t slash = line.find('/'), equals = line.find('=');
    const string_view supply = line.substr(0, std::min(slash, equals));
    if (!IsUsableName(supply))
        return;
    if (slash == line.npos && equals != line.npos && !fs::exists(root / supply))
        std::ofstream(root / supply) << line.substr(equals + 1);
    if (slash == line.npos)
        return;
    ::mkdir((root / supply).c_str(), 0755);
    const string_view rest = line.substr(slash + 1), name = rest.substr(0, rest.find_first_of("=/"));
    if (!IsUsableName(name) || fs::exists(root / supply / name))
        return;
    if (rest.size() > name.size() && rest[name.size()] == '/')
        ::mkdir((root / supply / name).c_str(), 0755);
    else
        std::ofstream(root / supply / name) << rest.substr(std::min(rest.size(), name.size() + 1)) << '\n';
}

using fuzz::Check;

static void CheckRecord(const SYSTEM_POWER_STATUS& s)
{
    using namespace power;
    const bool known = s.BatteryLifePercent != kUnknownByte;
    const auto isTime = [](std::int32_t t) { return t == kUnknownTime || t >= 0; };
    Check((s.ACLineStatus <= kAcOnline || s.ACLineStatus == kUnknownByte) && (!known || s.BatteryLifePercent <= 100),
          "AC is 0, 1 or 255; percent is 0..100 or 255");
    Check(known != (s.BatteryFlag == kFlagNoSystemBattery || s.BatteryFlag == kUnknownByte),
          "an unknown percent goes with flag 128 or 255, and only it");
    Check(!known || (s.BatteryFlag & ~kFlagCharging) == BatteryFlagFor(s.BatteryLifePercent, false),
          "high, low and critical follow the percent");
    Check(s.Reserved1 == 0 && isTime(s.BatteryLifeTime) && isTime(s.BatteryFullLifeTime),
          "reserved is 0, times are -1 or non-negative");
    Check(s.BatteryFullLifeTime == kUnknownTime || (s.BatteryLifeTime != kUnknownTime && s.BatteryLifeTime <= s.BatteryFullLifeTime),
          "a full time needs a remaining one no greater than it");
    Check(s.BatteryLifeTime == kUnknownTime || s.ACLineStatus == kAcOffline, "times only on battery power");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fs::path root = fuzz::ScratchDirectory() / "power_supply";
    fs::remove_all(root), fs::create_directory(root);
    string_view input(reinterpret_cast<const char*>(data), size);
    for (int entries = 0; !input.empty() && entries < kMaxEntries; ++entries) {
        const std::size_t end = input.find('\n');
        MakeEntry(root, input.substr(0, end));
        input = end == input.npos ? string_view() : input.substr(end + 1);
    }
    // The tree doubles as the platform directory, so a NAME/conservation_mode is read too.
    const QString directory = QString::fromStdString(root.string());
    power::LinuxPowerSource source(directory, directory);
    SYSTEM_POWER_STATUS first = power::PowerStatus(0xA5, 0xA5, 0xA5, -7, -7), second = power::PowerStatus(0x5A, 0x5A, 0x5A, -9, -9);
    Check(source.Query(first) != 0, "a readable directory gives a record");
    CheckRecord(first);
    source.Query(second);
    Check(std::memcmp(&first, &second, sizeof first) == 0, "unchanged files give the same record");
    const power::BatteryDetails d = source.Details();
    for (const auto& value : {d.energyNowWh, d.energyFullWh, d.energyDesignWh, d.powerW, d.voltageV})
        Check(!value || (std::isfinite(*value) && *value >= 0), "energies, power and voltage are finite, not negative");
    Check(!d.cycleCount || *d.cycleCount > 0, "a cycle count is above 0 or unknown");
    for (const QString& blocker : source.ChargeBlockers())
        Check(!blocker.isEmpty(), "a charge blocker is a sentence");
    return 0;
}
