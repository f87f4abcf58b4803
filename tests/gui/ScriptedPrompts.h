#pragma once

#include "app/Prompts.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

// Answers the program's questions from a script and records everything it was shown.
// A question that the script did not expect fails the test and gets a refusing answer
// (OK, No, Cancel), so nothing ever blocks.
class ScriptedPrompts : public Prompts {
public:
    enum class Kind { Message, YesNo, SaveFile, SaveDestination };

    struct Shown {
        Shown(Kind kind, const wxString& message, const wxString& caption)
            : kind(kind), message(message), caption(caption) {}
        Kind kind;
        wxString message;
        wxString caption;
        SaveFileRequest file;
        bool ask_destination = false;
    };

    // The next questions' answers, in order.
    void ExpectMessage();
    void AnswerYesNo(bool yes);
    void AnswerSaveFile(std::optional<wxString> path);
    void AnswerSaveDestination(int result, const wxString& title = "New Snippet",
                               const wxString& language = wxString());

    // Runs `on_ask` when the next question is asked, before it is answered (to look at the
    // program while the question is open).
    void OnNextQuestion(std::function<void()> on_ask) { on_ask_ = std::move(on_ask); }

    const std::vector<Shown>& History() const { return shown_; }
    size_t Unanswered() const { return script_.size(); }

    void ShowMessage(const wxString& message, const wxString& caption) override;
    bool AskYesNo(const wxString& message, const wxString& caption) override;
    std::optional<wxString> AskSaveFile(const SaveFileRequest& request) override;
    SaveDestinationAnswer AskSaveDestination(bool ask_destination) override;
    // Records the address instead of starting a browser.
    void OpenUrl(const wxString& url) override { opened_urls_.push_back(url); }
    const std::vector<wxString>& OpenedUrls() const { return opened_urls_; }

private:
    struct Answer {
        Kind kind;
        bool yes = false;
        std::optional<wxString> path;
        SaveDestinationAnswer destination;
    };

    // The scripted answer for a question of this kind, or nothing (and a test failure).
    std::optional<Answer> Next(Kind kind, const Shown& shown);

    std::deque<Answer> script_;
    std::vector<Shown> shown_;
    std::function<void()> on_ask_;
    std::vector<wxString> opened_urls_;
};

const char* KindName(ScriptedPrompts::Kind kind);
