// libsndfile linked with the program: there is always the table.
#include "sndfile_api.h"

namespace ondavo {

const SndfileApi* Sndfile(std::string*) {
  static constexpr SndfileApi kLinked = {sf_open_virtual, sf_command,     sf_set_string,
                                         sf_close,        sf_strerror,    sf_write_short,
                                         sf_write_float,  sf_error_number};
  return &kLinked;
}

}  // namespace ondavo
