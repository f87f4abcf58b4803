#include "app/CorvaneApp.h"

wxIMPLEMENT_APP(CorvaneApp);
