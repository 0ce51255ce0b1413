// SPDX-License-Identifier: GPL-3.0-or-later
// Windows has no power helper.
#include "platform/power_helper_client.h"

namespace platform {

std::unique_ptr<ChargeControl> MakeChargeControl() {
    return MakeUnavailableChargeControl(QStringLiteral("not available on Windows"));
}

}  // namespace platform
