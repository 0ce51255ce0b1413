// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <dirent.h>

// The threads this process runs now, as /proc lists them.
inline int ThreadCount()
{
    DIR* tasks = opendir("/proc/self/task");
    int count = 0;
    while (const dirent* entry = tasks ? readdir(tasks) : nullptr)
        count += entry->d_name[0] != '.';
    if (tasks)
        closedir(tasks);
    return count;
}
