// How many descriptors this process holds, to tell a leak of one.
#pragma once

#include <dirent.h>

inline int OpenDescriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count;
}
