// libvulay30 is built from the whole of vulay30-layout; its exports are
// declared in vulay30.h and defined in library_exports.cpp.
#include "layout/vulay30.h"
