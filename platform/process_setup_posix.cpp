#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "process_setup.h"
#include "stop_signals.h"

namespace ondavo {

void PrepareProcess() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free number, which is this one.
    int opened = ::open("/dev/null", O_RDWR | O_NOCTTY);
    if (opened != fd) std::_Exit(1);
  }
  KeepOnAfterFailedWrites();
}

}  // namespace ondavo
