#include <sys/prctl.h>
#include <unistd.h>

#include <cstring>

#include "stop_signals.h"

namespace ondavo {

namespace {

// Read from a signal handler: a fixed buffer, and a flag that is cleared
// while the buffer changes.
char g_unfinished[4096];
volatile std::sig_atomic_t g_has_unfinished = 0;

volatile std::sig_atomic_t* g_stop = nullptr;
volatile std::sig_atomic_t* g_from_terminal = nullptr;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Async-signal-safe: unlink, then the signal's default action, which ends
// the program as the signal asked.
void RemoveAndEnd(int signal) {
  RemoveUnfinishedFile();
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  ::raise(signal);
}

void OnEndingSignal(int signal) {
  RemoveAndEnd(signal);
}

void OnStoppingSignal(int signal, siginfo_t* info, void*) {
  if (*g_stop != 0) {
    RemoveAndEnd(signal);
    return;
  }
  *g_from_terminal = info != nullptr && info->si_code == SI_KERNEL;
  *g_stop = signal;
}

void Install(void (*simple)(int), void (*detailed)(int, siginfo_t*, void*)) {
  for (int signal : kEndingSignals) {
    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    for (int other : kEndingSignals) sigaddset(&action.sa_mask, other);
    if (detailed != nullptr) {
      action.sa_sigaction = detailed;
      action.sa_flags = SA_SIGINFO;  // no SA_RESTART: a waiting parent must wake up
    } else {
      action.sa_handler = simple;
    }
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace

void StopOnSignals(volatile std::sig_atomic_t* stop, volatile std::sig_atomic_t* from_terminal) {
  g_stop = stop;
  g_from_terminal = from_terminal;
  Install(nullptr, OnStoppingSignal);
}

void StopWithParent(intptr_t parent) {
  // Should the parent have ended before this line, no signal will come.
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != static_cast<pid_t>(parent)) ::_exit(0);
}

void KeepOnAfterFailedWrites() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

void EndOnSignals() {
  Install(OnEndingSignal, nullptr);
}

void RemoveUnfinishedFile() {
  if (g_has_unfinished) ::unlink(g_unfinished);
}

void SetUnfinishedFile(const char* path) {
  g_has_unfinished = 0;
  if (path == nullptr || std::strlen(path) >= sizeof g_unfinished) return;
  std::strcpy(g_unfinished, path);
  g_has_unfinished = 1;
}

}  // namespace ondavo
