// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// Files that grow by whole lines and must survive a power cut: each call
// returns only after its bytes are on the disk. None of them throws; a
// failure returns false and, when `error` is given, the reason in words.

// Creates the directory and its missing parents, each new entry synced into
// its parent, so that files created in it are not lost with it.
bool CreateDirectoryDurably(const QString& directory, QString* error);

// Creates a new file holding `bytes` (failing if the path exists), syncs it
// and then its directory. A file that could not be written whole is removed.
bool CreateFileDurably(const QString& path, const QByteArray& bytes, QString* error);

// Appends `bytes` at the end of an existing file in one write and syncs the
// data. A cut during the call loses at most these bytes.
bool AppendDurably(const QString& path, const QByteArray& bytes, QString* error);

// Syncs the directory's entries to the disk: 0 or the system's error number.
// Windows journals directory entries itself, and there this is always 0.
int SyncDirectory(const QString& directory);

}  // namespace platform
