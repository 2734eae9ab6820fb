// Windows has no signals: Ctrl-C and Ctrl-Break reach a console program as
// control events on a thread of their own, and so do the console's closing,
// the user's logging off and the system's shutting down, after which the
// program ends whatever the handler does.
#include <windows.h>

#include <string>
#include <thread>

#include "stop_signals.h"
#include "windows_text.h"

namespace ondavo {

namespace {

// Wide already, for the handler, which runs as the program ends; room for
// the longest path Windows takes (32767 characters, "\\?\" form).
wchar_t g_unfinished[32768];
volatile LONG g_has_unfinished = 0;

volatile std::sig_atomic_t* g_stop = nullptr;
volatile std::sig_atomic_t* g_from_terminal = nullptr;

void RemoveUnfinished() {
  if (g_has_unfinished) ::DeleteFileW(g_unfinished);
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

void StopWithParent(intptr_t parent) {
  HANDLE process = reinterpret_cast<HANDLE>(parent);
  if (::WaitForSingleObject(process, 0) != WAIT_TIMEOUT) ::ExitProcess(0);
  std::thread([process] {
    ::WaitForSingleObject(process, INFINITE);
    if (g_stop != nullptr) *g_stop = SIGTERM;
  }).detach();
}

void KeepOnAfterFailedWrites() {}

void EndOnSignals() {
  ::SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

void SetUnfinishedFile(const char* path) {
  g_has_unfinished = 0;
  if (path == nullptr) return;
  const std::wstring wide = SystemPath(path);
  if (wide.size() >= std::size(g_unfinished)) return;
  wide.copy(g_unfinished, wide.size());
  g_unfinished[wide.size()] = L'\0';
  g_has_unfinished = 1;
}

void RemoveUnfinishedFile() {
  RemoveUnfinished();
}

}  // namespace ondavo
