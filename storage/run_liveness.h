// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace storage {

// What tells, after the fact, whether a file's writer is still alive and
// whether the machine has been restarted since it wrote.

// An advisory hold on a file for as long as this object lives. The system
// drops it when the process dies, however it dies.
class FileHold {
public:
    // Takes the hold on a file this process may write; Held() is false when
    // it could not be taken, as on a file system without locks.
    explicit FileHold(const QString& path);
    ~FileHold();
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;
    bool Held() const { return handle_ != kNone; }

private:
    static constexpr long long kNone = -1;
    long long handle_ = kNone;
};

// Whether some open description of the file, in this process or another,
// holds a FileHold on it.
bool IsHeld(const QString& path);

// Whether a process with this id runs and is Dorvik or its demo (by its
// program's name), or is this process.
bool ProcessAlive(qint64 pid);
bool DorvikProgramName(const QString& name);

// Names this boot of the machine: the kernel's boot id on Linux, the boot
// instant in whole seconds since the epoch (UTC) on Windows. Empty when it
// cannot be read.
QString BootId();

// The demo's simulated machine: its boot is the real one and a count, kept
// in `directory`, of the times it switched itself off.
QString SimulatedBootId(const QString& directory);
void EndSimulatedBoot(const QString& directory);
bool IsSimulatedBootId(const QString& id);

// Whether two BootId values name the same boot. The Windows boot instant is
// worked out from two clocks and drifts with clock corrections; a boot after
// a run that left samples lies minutes later.
bool SameBoot(const QString& a, const QString& b);

}  // namespace storage
