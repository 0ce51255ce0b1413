// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "powerhelper/change_ledger.h"

#include <QString>

namespace powerhelper {

// The ledger on disk, so that a change outlives a crash of the helper or a
// power cut: each save reaches the disk before the helper writes sysfs.
class LedgerFile {
public:
    explicit LedgerFile(QString path) : path_(std::move(path)) {}

    // <$STATE_DIRECTORY, or /var/lib/dorvik-power-helper>/changes.
    static QString DefaultPath();

    const QString& path() const { return path_; }
    // Writes the ledger through a synced temporary file renamed over the
    // old one; an empty ledger removes the file.
    bool Save(const ChangeLedger& ledger, QString* error) const;
    // Reads the ledger kept; a missing file is an empty ledger. A file that
    // cannot be understood is moved aside to <path>.unreadable.
    bool Load(ChangeLedger& ledger, QString* error) const;

private:
    QString path_;
};

}  // namespace powerhelper
