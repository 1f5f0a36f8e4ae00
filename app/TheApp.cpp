// The one application object of the process.
#include "app/FlipdeckExApp.h"

CFlipdeckExApp theApp;
