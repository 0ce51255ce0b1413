// SPDX-License-Identifier: GPL-3.0-or-later
// Windows tells a program no battery or zone temperature without WMI
// rights it seldom has: nothing is known, and nothing holds back on heat.
#include "power/temperatures.h"

namespace power {
namespace {

class UnknownTemperatures : public TemperatureSource {
public:
    Temperatures Read() override { return {}; }
};

}  // namespace

std::unique_ptr<TemperatureSource> CreateSystemTemperatureSource()
{
    return std::make_unique<UnknownTemperatures>();
}

}  // namespace power
