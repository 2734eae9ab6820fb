#include "message_pump.h"

#include <wx/app.h>

void DispatchPendingEvents() {
  // Yield rather than Pending()/Dispatch(): it also runs the events queued
  // inside the program (CallAfter, pending events) and one round of idle
  // events, which keep the controls' enabled state and repaints current.
  if (wxTheApp != nullptr) wxTheApp->Yield(true);
}
