// ondavo: the converter window.
#include "ondavo.h"

wxIMPLEMENT_APP(COndavoApp);
