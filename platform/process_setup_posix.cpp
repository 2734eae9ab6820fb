#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    if (fd == STDOUT_FILENO) g_output_was_closed = true;
    // open() takes the lowest free number, which is this one.
    int opened = ::open("/dev/null", O_RDWR | O_NOCTTY);
    if (opened != fd) std::_Exit(1);
  }
  KeepOnAfterFailedWrites();
}

}  // namespace ondavo
