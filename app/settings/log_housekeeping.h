// Log folder housekeeping: deleting the day logs of the log folder.
#pragma once

#include <string>

// The folder whose day logs "Del Log File" deletes: logDir when it is set,
// else the Record folder remembered when the day log was opened. Blank when
// both are blank; DeleteMatchingFiles then deletes nothing.
std::string LogFolderToClear(const std::string& logDir, const std::string& recordFolder);

// Deletes every regular file directly in folder whose name matches the
// wildcard pattern ("*" and "?", letters compared without regard to case),
// read-only ones included. Subfolders, symbolic links and everything outside
// folder are left alone; a file that cannot be deleted is skipped. Works on
// the folder through its own handle and never changes the process's current
// directory. Returns the number of files deleted, or -1 when the folder
// cannot be opened (nothing is deleted then).
int DeleteMatchingFiles(const std::string& pattern, const std::string& folder);
