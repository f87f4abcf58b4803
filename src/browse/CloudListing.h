#pragma once

#include <wx/string.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The rows of one snippet list (language, title and sid, ordered by language) kept as the bytes
// the server sent, grouped as the snippet trees show them: one run per stretch of rows whose
// languages are exactly equal as text (letter case counts). Rows at the start whose language is
// empty belong to no run. Texts are decoded only when they are shown or opened.
class CloudListing {
public:
    using Index = std::uint32_t;
    struct Run {
        Index first_row;
        Index row_count;
    };

    void Add(std::string_view language, std::string_view title, std::string_view sid);
    void Clear();

    size_t RowCount() const { return rows_.size(); }
    // The rows before the first run, with an empty language.
    Index LooseRows() const { return runs_.empty() ? RowCount() : runs_.front().first_row; }
    const std::vector<Run>& Runs() const { return runs_; }
    const wxString& Language(size_t run) const { return languages_[run]; }
    wxString Title(Index row) const;
    wxString Sid(Index row) const;

private:
    struct Row {
        std::uint32_t title_offset;
        std::uint32_t title_length;
        std::uint32_t sid_offset;
        std::uint32_t sid_length;
    };

    std::vector<Row> rows_;
    std::string bytes_;
    std::vector<Run> runs_;
    std::vector<wxString> languages_;
    // The last row's language as the server sent it.
    std::string previous_language_;
};
