// Fuzzes the Linux power supply reader. The input describes a power_supply
// class directory, one entry a line:
//   NAME                a supply directory
//   NAME/ATTR=VALUE     an attribute file: VALUE and the kernel's newline
//   NAME/ATTR           an empty attribute file
//   NAME/ATTR/          a directory where an attribute is expected
//   NAME/ATTR|          a FIFO that nobody writes
//   NAME=VALUE          a plain file where a supply is expected
//   NAME->              a link to nowhere
// Whatever the files hold, the record and the details must keep their
// invariants, and the charge blockers must be sentences.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "power/linux_power_source.h"
#include "power/power_status_rules.h"
#include "scratch_directory.h"

namespace {

namespace fs = std::filesystem;

// Keeps each run to a handful of system calls.
constexpr int kMaxEntries = 48;
constexpr std::size_t kMaxNameBytes = 64;

bool IsUsableName(std::string_view name)
{
    return !name.empty() && name.size() <= kMaxNameBytes && name != "." && name != ".."
           && name.find('\0') == std::string_view::npos;
}

void WriteFile(const fs::path& path, std::string_view content)
{
    // Without O_NONBLOCK, opening an earlier entry's FIFO would wait for a reader.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return;  // the name collides with an earlier entry: the first one stays
    [[maybe_unused]] const ssize_t written = ::write(fd, content.data(), content.size());
    ::close(fd);
}

void MakeAttribute(const fs::path& supply, std::string_view entry)
{
    const std::size_t equals = entry.find('=');
    if (equals != std::string_view::npos) {
        const std::string_view name = entry.substr(0, equals);
        if (IsUsableName(name))
            WriteFile(supply / name, std::string(entry.substr(equals + 1)) + '\n');
        return;
    }
    if (entry.ends_with('/') || entry.ends_with('|')) {
        const std::string_view name = entry.substr(0, entry.size() - 1);
        if (!IsUsableName(name))
            return;
        if (entry.ends_with('/'))
            ::mkdir((supply / name).c_str(), 0755);
        else
            ::mkfifo((supply / name).c_str(), 0644);
        return;
    }
    if (IsUsableName(entry))
        WriteFile(supply / entry, {});
}

void MakeEntry(const fs::path& root, std::string_view line)
{
    const std::size_t slash = line.find('/');
    if (slash != std::string_view::npos) {
        const std::string_view name = line.substr(0, slash);
        if (!IsUsableName(name))
            return;
        ::mkdir((root / name).c_str(), 0755);
        MakeAttribute(root / name, line.substr(slash + 1));
        return;
    }
    if (line.ends_with("->")) {
        const std::string_view name = line.substr(0, line.size() - 2);
        if (IsUsableName(name))
            ::symlink("../devices/gone", (root / name).c_str());
        return;
    }
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
        const std::string_view name = line.substr(0, equals);
        if (IsUsableName(name))
            WriteFile(root / name, line.substr(equals + 1));
        return;
    }
    if (IsUsableName(line))
        ::mkdir((root / line).c_str(), 0755);
}

fs::path BuildTree(std::string_view input)
{
    const fs::path root = fuzz::ScratchDirectory() / "power_supply";
    std::error_code ignored;
    fs::remove_all(root, ignored);
    fs::create_directory(root);
    int entries = 0;
    while (!input.empty() && entries++ < kMaxEntries) {
        const std::size_t end = input.find('\n');
        MakeEntry(root, input.substr(0, end));
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    }
    return root;
}

[[noreturn]] void Broken(const char* invariant, const SYSTEM_POWER_STATUS& s)
{
    std::fprintf(stderr, "Invariant broken: %s\nRecord: AC %d, flag %d, percent %d, reserved %d, remaining %d, full %d\n",
                 invariant, s.ACLineStatus, s.BatteryFlag, s.BatteryLifePercent, s.Reserved1, s.BatteryLifeTime,
                 s.BatteryFullLifeTime);
    std::abort();
}

bool IsTime(std::int32_t seconds)
{
    return seconds == power::kUnknownTime || seconds >= 0;
}

void CheckRecord(const SYSTEM_POWER_STATUS& s)
{
    using namespace power;
    const bool percentKnown = s.BatteryLifePercent != kUnknownByte;
    if (s.ACLineStatus != kAcOffline && s.ACLineStatus != kAcOnline && s.ACLineStatus != kUnknownByte)
        Broken("AC is 0, 1 or 255", s);
    if (percentKnown && s.BatteryLifePercent > 100)
        Broken("percent is 0..100 or 255", s);
    if ((s.BatteryFlag & kFlagNoSystemBattery) != 0 && percentKnown)
        Broken("flag 128 only with percent 255", s);
    if (!percentKnown && s.BatteryFlag != kFlagNoSystemBattery && s.BatteryFlag != kUnknownByte)
        Broken("an unknown percent gives flag 128 or 255", s);
    if (percentKnown && (s.BatteryFlag & ~kFlagCharging) != BatteryFlagFor(s.BatteryLifePercent, false))
        Broken("high, low and critical follow the percent", s);
    if (s.Reserved1 != 0)
        Broken("reserved is 0", s);
    if (!IsTime(s.BatteryLifeTime) || !IsTime(s.BatteryFullLifeTime))
        Broken("times are -1 or non-negative", s);
    if (s.BatteryLifeTime == kUnknownTime && s.BatteryFullLifeTime != kUnknownTime)
        Broken("no full time without a remaining time", s);
    if (s.BatteryFullLifeTime != kUnknownTime && s.BatteryLifeTime > s.BatteryFullLifeTime)
        Broken("remaining time never above full time", s);
    if (s.BatteryLifeTime != kUnknownTime && (s.ACLineStatus != kAcOffline || s.BatteryFlag == kFlagNoSystemBattery))
        Broken("times only on battery power", s);
}

[[noreturn]] void BrokenDetails(const char* invariant)
{
    std::fprintf(stderr, "Invariant broken: %s\n", invariant);
    std::abort();
}

void CheckDetails(const power::BatteryDetails& d)
{
    for (const auto& value : {d.energyNowWh, d.energyFullWh, d.energyDesignWh, d.powerW, d.voltageV}) {
        if (value && !(std::isfinite(*value) && *value >= 0))
            BrokenDetails("energies, power and voltage are finite and not negative");
    }
    if (d.cycleCount && *d.cycleCount <= 0)
        BrokenDetails("a cycle count is above 0 or unknown");
}

bool SameRecord(const SYSTEM_POWER_STATUS& a, const SYSTEM_POWER_STATUS& b)
{
    return a.ACLineStatus == b.ACLineStatus && a.BatteryFlag == b.BatteryFlag
           && a.BatteryLifePercent == b.BatteryLifePercent && a.Reserved1 == b.Reserved1
           && a.BatteryLifeTime == b.BatteryLifeTime && a.BatteryFullLifeTime == b.BatteryFullLifeTime;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fs::path root = BuildTree(std::string_view(reinterpret_cast<const char*>(data), size));
    // The tree doubles as the platform directory, so that a fuzzed
    // NAME/conservation_mode is read too.
    const QString directory = QString::fromStdString(root.string());
    power::LinuxPowerSource source(directory, directory);

    SYSTEM_POWER_STATUS first{0xA5, 0xA5, 0xA5, 0xA5, -7, -7};
    if (source.Query(first) == 0)
        Broken("a readable directory gives a record", first);
    CheckRecord(first);

    // Every query reads afresh; unchanged files give the same record.
    SYSTEM_POWER_STATUS second{0x5A, 0x5A, 0x5A, 0x5A, -9, -9};
    if (source.Query(second) == 0 || !SameRecord(first, second))
        Broken("a second query gives the same record", second);

    CheckDetails(source.Details());
    for (const QString& blocker : source.ChargeBlockers()) {
        if (blocker.isEmpty())
            BrokenDetails("a charge blocker is a sentence");
    }
    return 0;
}
