// Windows has no signals: Ctrl-C and Ctrl-Break reach a console program as
// control events on a thread of their own, and so do the console's closing,
// the user's logging off and the system's shutting down, after which the
// program ends whatever the handler does.
#include <windows.h>

#include <cstring>

#include "stop_signals.h"

namespace ondavo {

namespace {

char g_unfinished[MAX_PATH * 4];
volatile LONG g_has_unfinished = 0;

volatile std::sig_atomic_t* g_stop = nullptr;
volatile std::sig_atomic_t* g_from_terminal = nullptr;

void RemoveUnfinished() {
  if (g_has_unfinished) ::DeleteFileA(g_unfinished);
}

BOOL WINAPI OnControlEvent(DWORD event) {
  if ((event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) && g_stop != nullptr && *g_stop == 0) {
    // The console sends it to every program attached to it.
    *g_from_terminal = 1;
    *g_stop = SIGINT;
    return TRUE;
  }
  RemoveUnfinished();
  return FALSE;  // the default handler ends the program
}

}  // namespace

void StopOnSignals(volatile std::sig_atomic_t* stop, volatile std::sig_atomic_t* from_terminal) {
  g_stop = stop;
  g_from_terminal = from_terminal;
  ::SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

void EndOnSignals() {
  ::SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

void SetUnfinishedFile(const char* path) {
  g_has_unfinished = 0;
  if (path == nullptr || std::strlen(path) >= sizeof g_unfinished) return;
  std::strcpy(g_unfinished, path);
  g_has_unfinished = 1;
}

void RemoveUnfinishedFile() {
  RemoveUnfinished();
}

}  // namespace ondavo
