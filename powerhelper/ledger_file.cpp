// SPDX-License-Identifier: GPL-3.0-or-later
#include "powerhelper/ledger_file.h"

#include "storage/durable_file.h"

#include <QFile>
#include <QFileInfo>

namespace powerhelper {

QString LedgerFile::DefaultPath() {
    // systemd may list several state directories; the helper asks for one.
    const QString fromSystemd = qEnvironmentVariable("STATE_DIRECTORY").section(u':', 0, 0);
    const QString directory = fromSystemd.isEmpty() ? QStringLiteral("/var/lib/dorvik-power-helper") : fromSystemd;
    return directory + QStringLiteral("/changes");
}

bool LedgerFile::Save(const ChangeLedger& ledger, QString* error) const {
    if (!ledger.Empty())
        return storage::ReplaceFileDurably(path_, ledger.ToJson(), error);
    QFile file(path_);
    if (file.exists() && !file.remove()) {
        if (error)
            *error = QStringLiteral("cannot remove %1: %2").arg(path_, file.errorString());
        return false;
    }
    storage::SyncDirectory(QFileInfo(path_).absolutePath());
    return true;
}

bool LedgerFile::Load(ChangeLedger& ledger, QString* error) const {
    ledger = {};
    QFile file(path_);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot read %1: %2").arg(path_, file.errorString());
        return false;
    }
    QString why;
    if (ChangeLedger::FromJson(file.readAll(), ledger, &why))
        return true;
    file.close();
    const QString aside = path_ + QStringLiteral(".unreadable");
    QFile::remove(aside);
    QFile::rename(path_, aside);
    if (error)
        *error = QStringLiteral("%1 is unreadable (%2), moved to %3").arg(path_, why, aside);
    return false;
}

}  // namespace powerhelper
