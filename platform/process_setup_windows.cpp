#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdlib>

#include "process_setup.h"
#include "stop_signals.h"

namespace ondavo {

namespace {
bool g_output_was_closed = false;
}  // namespace

bool StandardOutputWasClosed() {
  return g_output_was_closed;
}

void PrepareProcess() {
  // A program started without a standard handle has no file behind that
  // descriptor; the C library could hand its number to the next file opened.
  for (int fd = 0; fd <= 2; ++fd) {
    intptr_t handle = ::_get_osfhandle(fd);
    if (handle != -1 && handle != -2) continue;
    if (fd == 1) g_output_was_closed = true;
    int opened = ::_open("NUL", _O_RDWR | _O_BINARY);
    if (opened < 0) std::_Exit(1);
    if (opened != fd) {
      if (::_dup2(opened, fd) != 0) std::_Exit(1);
      ::_close(opened);
    }
  }
  KeepOnAfterFailedWrites();
  // Held until the program ends; Windows releases it then, however it ends.
  ::CreateMutexA(nullptr, FALSE, kRunningMutexName);
}

}  // namespace ondavo
