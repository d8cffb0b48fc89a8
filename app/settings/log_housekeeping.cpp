#include "settings/log_housekeeping.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

std::string LogFolderToClear(const std::string& logDir, const std::string& recordFolder) {
    return logDir.empty() ? recordFolder : logDir;
}

int DeleteMatchingFiles(const std::string& pattern, const std::string& folder) {
    // Everything below goes through this handle (openat/unlinkat): the
    // search never depends on the current directory, so a folder that cannot
    // be opened can never make it search and delete in some other folder.
    if (folder.empty()) return -1;
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return -1;
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        close(dirFd);
        return -1;
    }

    // Names are collected first: deleting while reading the folder may make
    // readdir skip entries.
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        // The wildcard rules of the Windows search: "*" matches a leading dot
        // too, and case does not matter.
        if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
        names.push_back(name);
    }

    int deleted = 0;
    for (const std::string& name : names) {
        struct stat status;
        if (fstatat(dirfd(dir), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(status.st_mode)) continue;
        // A read-only file needs no attribute change here: deleting a name is
        // governed by the folder's permissions, not by the file's mode.
        if (unlinkat(dirfd(dir), name.c_str(), 0) == 0) ++deleted;
    }
    closedir(dir);  // closes dirFd as well
    return deleted;
}
