// Every signal the programs handle, in one place per system. What the
// signals that end a program (SIGINT, SIGTERM, SIGHUP) do to the output a
// conversion is writing under its temporary name: it is removed before the
// program ends, so no partial file is left behind. A worker's stop with its
// parent, and the signals of a failed write.
#ifndef ONDAVO_PLATFORM_STOP_SIGNALS_H_
#define ONDAVO_PLATFORM_STOP_SIGNALS_H_

#include <csignal>
#include <cstdint>

namespace ondavo {

// The command line's way. The first signal stores its number in `*stop`,
// and the conversion under way stops after its current frame and cleans up
// after itself; a second signal ends the program at once. `*from_terminal`
// says whether the first came from the terminal, which sends it to the
// whole process group.
void StopOnSignals(volatile std::sig_atomic_t* stop, volatile std::sig_atomic_t* from_terminal);

// A worker's way, after StopOnSignals: the end of `parent` (a process id,
// or on Windows a handle of it), however it comes, stops the worker as
// SIGTERM would. A parent that has ended already ends the worker at once.
void StopWithParent(intptr_t parent);

// Every program's way with the signals of a failed write: a message written
// to a reader that went away is lost, not fatal (SIGPIPE), and a write past
// a file-size limit fails and is reported instead of ending the program
// (SIGXFSZ). Nothing to do where there are no such signals.
void KeepOnAfterFailedWrites();

// The window's way: a signal ends the program at once.
void EndOnSignals();

// The file that a signal which ends the program removes first; null for
// none. The writer of an output (WholeFile) calls this around its
// temporary file.
void SetUnfinishedFile(const char* path);
// Removes it now, for an ending the program learns of otherwise (a
// desktop session that ends). Safe in a signal handler.
void RemoveUnfinishedFile();

}  // namespace ondavo

#endif  // ONDAVO_PLATFORM_STOP_SIGNALS_H_
