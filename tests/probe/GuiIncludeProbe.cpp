// Compiled twice by the tests: with the core library's base-only view of wx it must fail,
// with the GUI layer's view it must compile (see tests/CMakeLists.txt).
#include <wx/frame.h>

wxFrame* probe_frame = nullptr;
