// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/linux_charge_blockers.h"

#include <algorithm>
#include <cmath>

namespace power::sysfs {
namespace {

// The bracketed choice of "auto [inhibit-charge] force-discharge"; a lone
// word is the choice itself.
std::optional<std::string> ActiveChoice(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    const auto open = text->find('[');
    const auto close = text->find(']', open);
    if (open != std::string::npos && close != std::string::npos)
        return text->substr(open + 1, close - open - 1);
    if (text->find(' ') == std::string::npos)
        return text;
    return std::nullopt;
}

QString RestoreLimitAdvice()
{
    return QStringLiteral(" Set the limit to 100 % in your vendor tool or firmware settings for the run, and back "
                          "afterwards.");
}

std::optional<QString> ThresholdBlocker(const ChargeSettings& battery)
{
    if (!battery.endThreshold || *battery.endThreshold >= 100)
        return std::nullopt;
    return QStringLiteral("%1 stops charging at %2 % (its charge limit), so it never reaches full and the gauge "
                          "never learns where full is.")
               .arg(battery.name, QString::number(*battery.endThreshold)) +
           RestoreLimitAdvice();
}

std::optional<QString> BehaviourBlocker(const ChargeSettings& battery)
{
    if (!battery.behaviour || *battery.behaviour == "auto")
        return std::nullopt;
    const QString advice = QStringLiteral(" Set its charge behaviour to auto for the run, and back afterwards.");
    if (*battery.behaviour == "inhibit-charge")
        return QStringLiteral("%1 is set not to charge (inhibit-charge), so it never reaches full.").arg(battery.name) +
               advice;
    if (*battery.behaviour == "force-discharge")
        return QStringLiteral("%1 is set to drain even on mains (force-discharge), so it cannot charge to full.")
                   .arg(battery.name) +
               advice;
    return QStringLiteral("%1 has its charge behaviour set to %2 rather than auto, so it may not charge to full.")
               .arg(battery.name, QString::fromStdString(*battery.behaviour)) +
           advice;
}

// Not charging on mains well short of full, and no charge limit explains it.
// Without a limit below 100 a gauge may stop short of 100 for good: one
// cut-off, whether the limit file says 100 or is not there.
std::optional<QString> HeldBackBlocker(const ChargeSettings& battery, bool heldBackUnexplained)
{
    if (!heldBackUnexplained || !battery.notCharging || !battery.percent)
        return std::nullopt;
    const bool limited = battery.endThreshold && *battery.endThreshold < 100;
    const double fullEnough = limited ? *battery.endThreshold - 2 : 97;
    if (*battery.percent >= fullEnough)
        return std::nullopt;
    if (battery.startThreshold && *battery.startThreshold > 0 && *battery.percent >= *battery.startThreshold)
        return QStringLiteral("%1 is not charging on mains at %2 % because it starts charging only below %3 % (its "
                              "charge start limit), so it does not charge to full from here. Raise the start limit "
                              "above the present charge in your vendor tool or firmware settings for the run, and "
                              "set it back afterwards.")
            .arg(battery.name, QString::number(std::lround(*battery.percent)),
                 QString::number(*battery.startThreshold));
    return QStringLiteral("%1 is not charging on mains at %2 %, so the firmware is holding the charge back. Look "
                          "for a charge limit or battery care setting in your vendor tool or firmware settings, "
                          "turn it off for the run, and back on afterwards.")
        .arg(battery.name, QString::number(std::lround(*battery.percent)));
}

}  // namespace

ChargeSettings ReadChargeSettings(const char* name, const Supply& supply, const Battery& battery)
{
    const auto status = supply.Text("status");
    // Older ThinkPad kernels name the limits without "control".
    const auto limit = [&](const char* attribute, const char* olderName) {
        const auto value = supply.Magnitude(attribute);
        return value ? value : supply.Magnitude(olderName);
    };
    return {QString::fromUtf8(name), battery.percent, status && EqualsIgnoringCase(*status, "Not charging"),
            limit("charge_control_start_threshold", "charge_start_threshold"),
            limit("charge_control_end_threshold", "charge_stop_threshold"),
            ActiveChoice(supply.Text("charge_behaviour"))};
}

QStringList BlockersOf(std::vector<ChargeSettings> batteries, bool heldBackUnexplained)
{
    std::sort(batteries.begin(), batteries.end(),
              [](const ChargeSettings& a, const ChargeSettings& b) { return a.name < b.name; });
    QStringList blockers;
    for (const ChargeSettings& battery : batteries) {
        for (const auto& blocker :
             {ThresholdBlocker(battery), BehaviourBlocker(battery), HeldBackBlocker(battery, heldBackUnexplained)}) {
            if (blocker)
                blockers << *blocker;
        }
    }
    return blockers;
}

bool ConservationModeOn(const std::string& platformDirectory)
{
    bool on = false;
    ForEachEntry(platformDirectory, [&](const char*, const Supply& device) {
        const auto mode = device.Number("conservation_mode");
        on = on || (mode && *mode == 1);
    });
    return on;
}

QString ConservationModeBlocker()
{
    return QStringLiteral("Conservation mode is on, so the battery stops charging at about 60 % and never "
                          "reaches full. Turn it off in your vendor tool or firmware settings for the run, "
                          "and back on afterwards.");
}

}  // namespace power::sysfs
