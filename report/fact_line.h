// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace report {

// One row of the report. `name` names the window's label of the value.
struct FactLine {
    QString label;  // "Run lasted:"
    QString value;
    QString name{};
};

}  // namespace report
