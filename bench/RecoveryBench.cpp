// What keeping unsaved pages costs the window while the user types in a 10 MB page: a keystroke
// in a workspace page (where the recovery store listens) against one in a bare editor, and the
// write two seconds later, split into the part on the window's thread (taking the text) and the
// file work on the store's own thread. Prints medians of N rounds.
//
//   recovery_bench [--runs N]
//
// Needs a display (DISPLAY). Target: the window's part of a write stays far below what a user
// feels (50 ms), and a keystroke costs about what it costs without the store.
#include "BenchMain.h"
#include "BenchToolkit.h"
#include "ScratchDirectory.h"

#include "app/Interface.h"
#include "app/PageRecovery.h"
#include "editor/panel_with_stc.h"
#include "editor/snippet_stc.h"

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr size_t kPageBytes = 10 << 20;
constexpr int kKeystrokes = 200;

double Milliseconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

// Code-like lines up to the page size.
void Fill(snippet_stc* editor) {
    std::string text;
    while (text.size() < kPageBytes)
        text += "    total += weigh(items[i], \"recovered\"); // running sum of the weights\n";
    editor->AppendTextRaw(text.data(), static_cast<int>(text.size()));
    editor->DocumentEnd();
}

// The median time of one typed character at the end of the page.
double Keystroke(snippet_stc* editor) {
    std::vector<double> times;
    for (int i = 0; i < kKeystrokes; ++i)
        times.push_back(Milliseconds([&] { editor->AddText("x"); }));
    return Median(times);
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<int> runs_given = bench::RunsOption("recovery_bench", 5, argc, argv);
    if (!runs_given)
        return 2;
    const int runs = *runs_given;
    ScratchDirectory scratch("/tmp/corvane-recovery-bench-XXXXXX");
    if (!BenchToolkit::Start(argv[0]))
        return 1;

    auto* frame =
        new wxFrame(nullptr, wxID_ANY, "recovery_bench", wxDefaultPosition, wxSize(1000, 700));
    auto* bare = new snippet_stc(frame);
    auto* workspace = new Interface(frame, nullptr);
    frame->Show();
    snippet_stc* page = workspace->EditorPage(0)->stc;
    Fill(bare);
    Fill(page);

    std::vector<double> bare_keys, page_keys, snapshot, file_work;
    for (int run = 0; run < runs; ++run) {
        bare_keys.push_back(Keystroke(bare));
        page_keys.push_back(Keystroke(page));
        snapshot.push_back(Milliseconds([&] { workspace->Recovery().WriteNow(false); }));
        // Waits for the store's thread; the window would go on meanwhile.
        file_work.push_back(Milliseconds([&] { workspace->Recovery().WriteNow(true); }));
    }

    std::printf("keeping a %zu-byte page while typing, median of %d rounds\n",
                static_cast<size_t>(page->GetLength()), runs);
    std::printf("  keystroke, bare editor        %8.3f ms\n", Median(bare_keys));
    std::printf("  keystroke, workspace page     %8.3f ms  ratio %.2f\n", Median(page_keys),
                Median(page_keys) / Median(bare_keys));
    std::printf("  write, window's thread        %8.1f ms  (target: far below 50)\n",
                Median(snapshot));
    std::printf("  write, store's thread         %8.1f ms  (temporary file, fsync, rename)\n",
                Median(file_work));

    frame->Destroy();
    BenchToolkit::Stop();
    return 0;
}
