// The window's layouts and icons, compiled into the program from res/.
#ifndef ONDAVO_APP_RESOURCES_H_
#define ONDAVO_APP_RESOURCES_H_

#include <wx/iconbndl.h>

// Makes the layouts loadable; the first call does the work, later ones
// nothing. Needs the toolkit to be set up.
void LoadOndavoResources();

// The application icon at 16, 32 and 48 pixels.
wxIconBundle OndavoIcons();

#endif  // ONDAVO_APP_RESOURCES_H_
