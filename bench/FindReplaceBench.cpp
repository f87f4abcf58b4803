// Count and Replace All of the find and replace dialog on a 10 MB text with 100,000 matches,
// through the real dialog and editor, against grep and sed on the same text in the same run.
// Prints the medians of N runs and their ratios to the command-line tools. Then the dialog's
// bounded regular-expression Count against the editor component's own regular-expression search
// (the same matches, counted with the same loop), and how long a runaway pattern takes until
// the dialog says it is too complex.
//
//   find_replace_bench [--runs N]
//
// Needs a display (DISPLAY). Targets: Count within 10 x `grep -o PATTERN | wc -l`, Replace All
// within 20 x `sed 's/PATTERN/REPLACEMENT/g'`, regular-expression Count within 2 x the
// component's own search, the runaway pattern stopped within a second.
#include "BenchMain.h"
#include "BenchToolkit.h"
#include "Figure.h"

#include "app/Prompts.h"
#include "editor/find_replace_dialog.h"
#include "editor/snippet_stc.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/frame.h>
#include <wx/notebook.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kPattern = "needle";
constexpr const char* kReplacement = "pin";
constexpr int kMatches = 100000;
constexpr size_t kLineLength = 100; // 100,000 lines of 100 bytes: 10 MB

// The last message the dialog showed.
class RecordingPrompts : public Prompts {
public:
    wxString last;
    void ShowMessage(const wxString& message, const wxString&) override { last = message; }
    bool AskYesNo(const wxString&, const wxString&) override { return false; }
    std::optional<wxString> AskSaveFile(const SaveFileRequest&) override { return std::nullopt; }
    SaveDestinationAnswer AskSaveDestination(bool) override { return {}; }
    void OpenUrl(const wxString&) override {}
};

// One match a line, at a place that moves along the line; the rest is code-like filler.
std::string MakeText() {
    static const char filler[] = "for (int i = 0; i < count; ++i) { total += values[i] * weight; "
                                 "} /* sum the values up */ return total; ";
    std::string text;
    text.reserve(kMatches * kLineLength);
    const size_t pattern = std::strlen(kPattern);
    for (int line = 0; line < kMatches; ++line) {
        const size_t at = static_cast<size_t>(line * 7) % (kLineLength - pattern - 1);
        std::string row(filler, kLineLength - 1 - pattern);
        row.insert(at, kPattern);
        text += row;
        text += '\n';
    }
    return text;
}

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Shell(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            output += buffer;
        pclose(pipe);
    }
    return output;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

void Press(find_replace_dialog* dialog, int id) {
    wxWindow* button = dialog->Tabs()->GetCurrentPage()->FindWindow(id);
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->ProcessWindowEvent(click);
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<int> runs_given = bench::RunsOption("find_replace_bench", 5, argc, argv);
    if (!runs_given)
        return 2;
    const int runs = *runs_given;
    if (!BenchToolkit::Start(argv[0]))
        return 1;
    auto prompts = std::make_unique<RecordingPrompts>();
    RecordingPrompts* shown = prompts.get();
    Prompts::Install(std::move(prompts));

    const std::string text = MakeText();
    char path[] = "/tmp/corvane-find-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return 1;
    close(fd);
    std::ofstream(path, std::ios::binary) << text;

    auto* frame = new wxFrame(nullptr, wxID_ANY, "find_replace_bench");
    auto* editor = new snippet_stc(frame);
    auto* dialog = new find_replace_dialog(frame);
    frame->Show();
    dialog->Open(editor, true);
    const find_replace_dialog::SearchTab& tab = dialog->ReplaceTab();
    tab.criteria->ChangeValue(kPattern);
    tab.replacement->ChangeValue(kReplacement);
    tab.match_case->SetValue(true);

    const std::string file = path;
    std::vector<double> grep, sed, count, count_nocase, grep_nocase, replace_all;
    std::string grep_count, sed_bytes;
    wxString count_message, nocase_message, replace_message;
    std::string replaced;
    for (int run = 0; run < runs; ++run) {
        grep.push_back(Seconds([&] {
            grep_count = Shell("grep -o '" + std::string(kPattern) + "' " + file + " | wc -l");
        }));
        grep_nocase.push_back(Seconds(
            [&] { Shell("grep -oi '" + std::string(kPattern) + "' " + file + " | wc -l"); }));
        sed.push_back(Seconds([&] {
            sed_bytes = Shell("sed 's/" + std::string(kPattern) + "/" + kReplacement + "/g' " +
                              file + " > " + file + ".sed; wc -c < " + file + ".sed");
        }));

        editor->SetText(wxString::FromUTF8(text));
        editor->EmptyUndoBuffer();
        editor->GotoPos(0);
        tab.match_case->SetValue(true);
        count.push_back(Seconds([&] { Press(dialog, find_replace_dialog::ID_COUNT); }));
        count_message = shown->last;
        tab.match_case->SetValue(false);
        count_nocase.push_back(Seconds([&] { Press(dialog, find_replace_dialog::ID_COUNT); }));
        nocase_message = shown->last;
        tab.match_case->SetValue(true);
        replace_all.push_back(Seconds([&] { Press(dialog, find_replace_dialog::ID_REPLACE_ALL); }));
        replace_message = shown->last;
        replaced = std::to_string(editor->GetLength());
    }
    std::remove(path);
    std::remove((file + ".sed").c_str());

    // Regular expressions: the dialog's Count, and the component's own search in the same loop.
    struct RegexFigures {
        const char* pattern;
        std::vector<double> dialog, component;
        wxString message;
        int component_count = 0;
    };
    RegexFigures regexes[] = {{"ne+dle", {}, {}, {}, 0}, {"[a-z]+dle", {}, {}, {}, 0}};
    editor->SetText(wxString::FromUTF8(text));
    tab.regular_expressions->SetValue(true);
    for (RegexFigures& regex : regexes) {
        tab.criteria->ChangeValue(regex.pattern);
        for (int run = 0; run < runs; ++run) {
            regex.dialog.push_back(Seconds([&] { Press(dialog, find_replace_dialog::ID_COUNT); }));
            regex.message = shown->last;
            regex.component.push_back(Seconds([&] {
                regex.component_count = 0;
                int end = 0;
                for (int at = editor->FindText(0, editor->GetLength(), regex.pattern,
                                               wxSTC_FIND_REGEXP | wxSTC_FIND_MATCHCASE, &end);
                     at >= 0; at = editor->FindText(at + 1, editor->GetLength(), regex.pattern,
                                                    wxSTC_FIND_REGEXP | wxSTC_FIND_MATCHCASE, &end))
                    ++regex.component_count;
            }));
        }
    }
    // The runaway pattern: the component's own search takes minutes here and is not run.
    editor->SetText(wxString(300, 'a'));
    tab.criteria->ChangeValue("a*a*a*a*b");
    std::vector<double> runaway;
    for (int run = 0; run < runs; ++run)
        runaway.push_back(Seconds([&] { Press(dialog, find_replace_dialog::ID_COUNT); }));
    const wxString runaway_message = shown->last;

    const auto ms = [](const std::vector<double>& v) { return Median(v) * 1000.0; };
    std::printf("find and replace on %zu bytes with %d matches of \"%s\", median of %d runs\n",
                text.size(), kMatches, kPattern, runs);
    std::printf("  grep -o | wc -l          %8.1f ms  (%s lines)\n", ms(grep),
                wxString(grep_count).Trim().utf8_str().data());
    std::printf("  Count, match case        %8.1f ms  (\"%s\")  ratio %.2f (target: at most 10)\n",
                ms(count), count_message.utf8_str().data(), Median(count) / Median(grep));
    std::printf("  grep -oi | wc -l         %8.1f ms\n", ms(grep_nocase));
    std::printf("  Count, any case          %8.1f ms  (\"%s\")  ratio %.2f to grep -oi\n",
                ms(count_nocase), nocase_message.utf8_str().data(),
                Median(count_nocase) / Median(grep_nocase));
    std::printf("  sed s///g                %8.1f ms  (%s bytes out)\n", ms(sed),
                wxString(sed_bytes).Trim().utf8_str().data());
    std::printf("  Replace All, match case  %8.1f ms  (\"%s\", %s bytes after)  ratio %.2f "
                "(target: at most 20)\n",
                ms(replace_all), replace_message.utf8_str().data(), replaced.c_str(),
                Median(replace_all) / Median(sed));

    for (const RegexFigures& regex : regexes) {
        std::printf("  Count, regex %-12s %8.1f ms  (\"%s\")  the editor's own search %.1f ms "
                    "(%d found), ratio %.2f (target: at most 2)\n",
                    regex.pattern, ms(regex.dialog), regex.message.utf8_str().data(),
                    ms(regex.component), regex.component_count,
                    Median(regex.dialog) / Median(regex.component));
    }
    std::printf("  Count, \"a*a*a*a*b\" over 300 a's  %.1f ms until \"%s\" (target: within 1 s)\n",
                ms(runaway), runaway_message.utf8_str().data());
    PrintFigure("find: Count, match case", ms(count), ms(grep), "ms", 10.0);
    PrintFigure("find: Count, any case", ms(count_nocase), ms(grep_nocase), "ms");
    PrintFigure("find: Replace All", ms(replace_all), ms(sed), "ms", 20.0);
    for (const RegexFigures& regex : regexes)
        PrintFigure(std::string("find: Count, regex ") + regex.pattern, ms(regex.dialog),
                    ms(regex.component), "ms", 2.0);
    PrintFigure("find: runaway regex stopped", ms(runaway), "ms", "<= 1000 ms",
                ms(runaway) <= 1000.0);

    frame->Destroy();
    BenchToolkit::Stop();
    return 0;
}
