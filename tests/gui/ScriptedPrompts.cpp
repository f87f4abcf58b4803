#include "gui/ScriptedPrompts.h"

#include "storage/cloud_or_local.h"

#include <gtest/gtest.h>

const char* KindName(ScriptedPrompts::Kind kind) {
    switch (kind) {
    case ScriptedPrompts::Kind::Message:
        return "message box";
    case ScriptedPrompts::Kind::YesNo:
        return "yes/no question";
    case ScriptedPrompts::Kind::SaveFile:
        return "file dialog";
    case ScriptedPrompts::Kind::SaveDestination:
        return "save-destination dialog";
    }
    return "?";
}

void ScriptedPrompts::ExpectMessage() {
    Answer answer;
    answer.kind = Kind::Message;
    script_.push_back(answer);
}

void ScriptedPrompts::AnswerYesNo(bool yes) {
    Answer answer;
    answer.kind = Kind::YesNo;
    answer.yes = yes;
    script_.push_back(answer);
}

void ScriptedPrompts::AnswerSaveFile(std::optional<wxString> path) {
    Answer answer;
    answer.kind = Kind::SaveFile;
    answer.path = std::move(path);
    script_.push_back(answer);
}

void ScriptedPrompts::AnswerSaveDestination(int result, const wxString& title,
                                            const wxString& language) {
    Answer answer;
    answer.kind = Kind::SaveDestination;
    answer.destination = SaveDestinationAnswer{result, title, language};
    script_.push_back(answer);
}

std::optional<ScriptedPrompts::Answer> ScriptedPrompts::Next(Kind kind, const Shown& shown) {
    shown_.push_back(shown);
    if (on_ask_) {
        auto on_ask = std::move(on_ask_);
        on_ask_ = nullptr;
        on_ask();
    }
    if (script_.empty()) {
        ADD_FAILURE() << "unexpected " << KindName(kind) << ": \"" << shown.message.utf8_string()
                      << "\"";
        return std::nullopt;
    }
    Answer answer = script_.front();
    script_.pop_front();
    if (answer.kind != kind) {
        ADD_FAILURE() << "expected a " << KindName(answer.kind) << " but got a " << KindName(kind)
                      << ": \"" << shown.message.utf8_string() << "\"";
        return std::nullopt;
    }
    return answer;
}

void ScriptedPrompts::ShowMessage(const wxString& message, const wxString& caption) {
    Next(Kind::Message, Shown{Kind::Message, message, caption});
}

bool ScriptedPrompts::AskYesNo(const wxString& message, const wxString& caption) {
    const auto answer = Next(Kind::YesNo, Shown{Kind::YesNo, message, caption});
    return answer && answer->yes;
}

std::optional<wxString> ScriptedPrompts::AskSaveFile(const SaveFileRequest& request) {
    Shown shown{Kind::SaveFile, request.message, wxString()};
    shown.file = request;
    const auto answer = Next(Kind::SaveFile, shown);
    return answer ? answer->path : std::nullopt;
}

SaveDestinationAnswer ScriptedPrompts::AskSaveDestination(bool ask_destination) {
    Shown shown{Kind::SaveDestination, wxString(), wxString()};
    shown.ask_destination = ask_destination;
    const auto answer = Next(Kind::SaveDestination, shown);
    return answer ? answer->destination
                  : SaveDestinationAnswer{cloud_or_local::ID_CANCEL, wxString(), wxString()};
}
