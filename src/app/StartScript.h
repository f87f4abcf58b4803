#pragma once

#include <wx/string.h>

class Interface;

// Steps the program takes on its own once its window is shown, read from a file named by
// CORVANE_START_SCRIPT, so that benchmarks can bring it to a state (a tree expanded, pages open)
// without anybody clicking. One step a line:
//   expand-all    presses Expand All
//   open PATH     opens the local file PATH as a double click on its node does
// Blank lines are skipped. A line that is no step, or a file that cannot be read, is said on
// standard error and changes nothing.
namespace start_script {

inline constexpr const char* kVariable = "CORVANE_START_SCRIPT";

// Takes the steps of the file at `path` on `workspace`; the number of steps taken.
size_t Run(const wxString& path, Interface& workspace);

} // namespace start_script
