#pragma once

#include <QString>
#include <cstdint>

namespace power {

// The power summary's texts for the record's AC line status ("AC", "DC",
// empty for unknown, "?" for anything else) and for its battery flag
// ("HIGH", "LOW", "CRITICAL", else "UNKNOWN").
QString AcText(std::uint8_t acLineStatus);
QString LevelText(std::uint8_t batteryFlag);

}  // namespace power
