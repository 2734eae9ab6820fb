// ondavo: the converter window.
#include "ondavo.h"

#ifdef __WXMSW__
wxIMPLEMENT_APP(COndavoApp);
#else
wxIMPLEMENT_APP_NO_MAIN(COndavoApp);

int main(int argc, char** argv) {
  // --help and --version answer in a terminal without a display.
  if (std::optional<int> status = AnswerWithoutWindow(argc, argv)) return *status;
  return wxEntry(argc, argv);
}
#endif
