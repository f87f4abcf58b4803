#pragma once

#include <wx/string.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Texts folded to lower case, character by character and the same whatever the locale, so that
// words compare without regard to case. Folding keeps the number of characters and every line
// break where it was.
std::wstring FoldCase(const wxString& text);
// Bytes that are valid UTF-8, folded, as UTF-8.
std::string FoldUtf8(std::string_view bytes);
// Bytes taken one byte per character (a file that is not UTF-8), folded, as UTF-8.
std::string FoldLatin1(std::string_view bytes);

// How well a snippet matches a query, best first: every word in its title or language, some word
// only in its content, some word only spread out over its title.
enum class MatchRank { Title = 0, Content = 1, Subsequence = 2 };

struct SnippetMatch {
    MatchRank rank = MatchRank::Title;
    // Characters between the words where they matched (the title for Title, the content for
    // Content, inside the spread-out words for Subsequence); fewer rank higher.
    size_t gap = 0;
    // Words found in the language but not in the title.
    size_t language_only = 0;
    // The words (their indexes) found only in the content.
    std::vector<size_t> content_words;
};

// One line of a snippet's content for showing a content match: the line as it stands (cut
// around the match when long) and where the match is in it.
struct LineExcerpt {
    wxString text;
    size_t match_start = 0;
    size_t match_length = 0;
};

// A query of the Find Snippet command: words separated by white space. A snippet matches when
// every word occurs, without regard to case, in its title, its language or its content; a word
// found nowhere may still match the title as a subsequence of its characters ("qsrt" in
// "quick sort").
class FindQuery {
public:
    explicit FindQuery(const wxString& text);

    bool Empty() const { return words_.empty(); }
    // The words as typed, each once.
    const std::vector<wxString>& Words() const { return words_; }

    // The match of one snippet, or nothing. Title and language are folded (FoldCase), the
    // content is folded UTF-8 (FoldUtf8, FoldLatin1).
    std::optional<SnippetMatch> Match(std::wstring_view title, std::wstring_view language,
                                      std::string_view content) const;

    // The first line of `content` that holds one of the match's content words; empty for a
    // match without content words.
    LineExcerpt FirstMatchingLine(const wxString& content, const SnippetMatch& match) const;

private:
    std::vector<wxString> words_;
    std::vector<std::wstring> folded_;
    std::vector<std::string> folded_utf8_;
};
