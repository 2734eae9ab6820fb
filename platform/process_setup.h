// What every Ondavo program does first, before it opens any file.
#ifndef ONDAVO_PLATFORM_PROCESS_SETUP_H_
#define ONDAVO_PLATFORM_PROCESS_SETUP_H_

namespace ondavo {

// Makes sure descriptors 0, 1 and 2 are open, on the null device where the
// program was started with one closed (cron jobs, daemons and some file
// managers do that): otherwise the first file the program opens would take
// the number of a standard stream, and every message printed to it would
// land inside that file. Messages written to a reader that went away are
// lost, not fatal (SIGPIPE is ignored), and a write past a file-size limit
// fails and is reported instead of killing the program (SIGXFSZ ignored).
//
// On Windows the program also holds the mutex kRunningMutexName for as
// long as it runs, so that the installer and uninstaller can tell that an
// Ondavo program is running and refuse to replace or remove its files.
//
// Ends the program with status 1 when a closed stream cannot be opened.
void PrepareProcess();

// Whether the program was started with standard output closed (and
// PrepareProcess put the null device in its place).
bool StandardOutputWasClosed();

// Every Ondavo program holds it while it runs (Windows only); the installer
// looks for it by this name.
inline constexpr char kRunningMutexName[] = "OndavoProgramRunning";

}  // namespace ondavo

#endif  // ONDAVO_PLATFORM_PROCESS_SETUP_H_
