#include "app/StartScript.h"

#include "app/Interface.h"
#include "browse/SnippetBrowser.h"

#include <wx/filename.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace start_script {

size_t Run(const wxString& path, Interface& workspace) {
    std::ifstream file(path.fn_str());
    if (!file) {
        std::fprintf(stderr, "%s: cannot read %s\n", kVariable, path.utf8_str().data());
        return 0;
    }
    size_t taken = 0;
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty())
            continue;
        if (line == "expand-all") {
            wxCommandEvent press(wxEVT_BUTTON, Interface::ID_EXPAND_ALL);
            workspace.ProcessWindowEvent(press);
        } else if (line.compare(0, 5, "open ") == 0 && line.size() > 5) {
            const wxString file_path = wxString::FromUTF8(line.substr(5));
            workspace.Tree()->OpenLocal(wxFileName(file_path).GetFullName(), file_path);
        } else {
            std::fprintf(stderr, "%s: not a step: %s\n", kVariable, line.c_str());
            continue;
        }
        ++taken;
    }
    return taken;
}

} // namespace start_script
