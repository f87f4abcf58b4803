#pragma once

#include <bitset>
#include <string>
#include <string_view>
#include <vector>

// Regular-expression search over the editor's text that finds what the editor component's own
// regular-expression search finds (its pattern language, byte by byte, one line at a time, the
// same match for each search), but within a bounded number of steps. The component backtracks
// without limit: `a*a*a*a*b` over a line of 300 'a's takes minutes. Here a search that would
// need more steps than it was given stops and reports that the pattern is too complex, and a
// pattern the component cannot compile is reported as invalid instead of finding nothing.
class RegexSearch {
public:
    struct Match {
        int start = 0;
        int end = 0;
    };
    enum class Outcome { Found, NotFound, TooComplex };

    // The editor's text, or its tail: `bytes` hold the positions from `base` up to `length`, the
    // length of the whole text.
    struct Text {
        const char* bytes = nullptr;
        int base = 0;
        int length = 0;
    };

    // Compiles `pattern` (UTF-8; it ends at a NUL, as the component reads it). All searches made
    // with this object share `steps`.
    RegexSearch(std::string_view pattern, bool match_case, long long steps);

    // Why the pattern is not valid; empty when it is.
    const std::string& Error() const { return error_; }
    // True once the searches have used up their steps; every later search reports it.
    bool TooComplex() const { return exhausted_; }

    // Searches from `from` towards `to`, backwards when `to` < `from`, as the component does,
    // and fills `match` when a match is found. A forward search reads the text from `from` - 1
    // on; a backward one reads the whole line that holds `to`, and everything after it.
    Outcome Find(const Text& text, int from, int to, Match* match);

private:
    enum class Op : unsigned char;
    struct Node {
        Op op;
        unsigned char byte = 0; // a character, or the tag of a group or back-reference
        Op item;                // what a repetition repeats
        std::bitset<256> set;   // the characters of a class
    };

    bool Compile(std::string_view pattern, bool match_case);
    bool FindForwards(int from, int to, Match* match);
    bool FindBackwards(int from, int to, Match* match);
    bool Execute(int start, int end);
    int MatchHere(int position, size_t node);
    bool ItemMatches(const Node& node, unsigned char c) const;
    bool Spend(long long steps);

    // Document positions.
    char At(int position) const;
    int LineStart(int position) const;
    int LineEnd(int position) const;
    int NextLineStart(int line_start) const;
    int OutsideCharacter(int position) const;

    std::vector<Node> nodes_;
    std::string error_;
    bool anchored_start_ = false; // the pattern begins with '^'
    bool anchored_end_ = false;   // and/or ends with an unescaped '$'
    long long steps_left_;
    bool exhausted_ = false;

    // The search in progress.
    Text text_;
    int line_end_ = 0; // positions from here on read as NUL
    int begin_ = 0;    // where the current attempt began matching
    int group_start_[10];
    int group_end_[10];
};
