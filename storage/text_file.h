// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace storage {

// What a look-up among ordinary files found. Directories, FIFOs, devices,
// sockets, hidden files and, on Windows, system files are not ordinary
// files: they count as missing.
enum class FileLookup { Found, Missing, Failed };
FileLookup LookUpOrdinaryFile(const QString& path);

// Most bytes a line reader takes in: bad input never hangs or eats memory.
inline constexpr qint64 kLineReadLimit = 64 * 1024;

// The first `count` lines of an ordinary file, without their line ends (CR LF
// or LF); a last line without one runs to the end of the file. Nothing when
// the file is not an ordinary file, cannot be opened or read, has fewer lines,
// or its lines do not fit in the first `byteLimit` bytes.
std::optional<QList<QByteArray>> ReadFirstLines(const QString& path, int count,
                                                qint64 byteLimit = kLineReadLimit);

}  // namespace storage
