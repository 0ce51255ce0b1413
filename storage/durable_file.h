// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace storage {

// Files that must survive a power cut: each call returns only after its
// bytes are on the disk. None of them throws; a
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

// Replaces the file at the path with the bytes so that a power cut at any
// moment leaves either the old file or the new one, complete: the bytes go
// to a temporary file in the same directory, reach the disk, and are renamed
// over the file; then the directory entry reaches the disk too. A missing
// directory is created. On failure the old file is untouched.
bool ReplaceFileDurably(const QString& path, const QByteArray& bytes, QString* error);

// The system's words for an error number.
QString SystemReason(int number);

// Syncs the directory's entries to the disk: 0 or the system's error number.
// Windows journals directory entries itself, and there this is always 0.
int SyncDirectory(const QString& directory);

}  // namespace storage
