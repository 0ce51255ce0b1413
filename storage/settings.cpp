// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/settings.h"

#include <QSettings>
#include <QString>

namespace storage {
namespace {

const QString kRemind = QStringLiteral("Remind");

QSettings Settings()
{
    return QSettings(QStringLiteral("dorvik"), QStringLiteral("dorvik"));
}

}  // namespace

bool RemindTurnedOn()
{
    return Settings().value(kRemind, true).toBool();
}

void SetRemind(bool on)
{
    Settings().setValue(kRemind, on);
}

}  // namespace storage
