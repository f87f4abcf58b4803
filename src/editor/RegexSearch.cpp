#include "editor/RegexSearch.h"

#include <algorithm>

// The pattern language and the search follow the editor component's own regular expressions:
// '.', '[...]' and '[^...]' (with ranges, and '-' or ']' first taken literally), '*', '+' and
// '?' after a single character or class (a '?' after '*' or '+' makes it lazy), '^' first and
// '$' last, '\(' '\)' groups, '\1' to '\9', '\<' '\>', '\d \D \s \S \w \W', '\xHH' and C escapes.
// A line is searched at a time, without its line end; each match is the first a backtracking
// matcher finds. Even the component's oddities are kept, so that a search here selects what the
// component would select: a '?' after a class repeats it like '*', a match never begins at the
// end of a line, and a backward search looks for the last match on a line at most 1000 times.

enum class RegexSearch::Op : unsigned char {
    End,
    Char,
    Any,
    Class,
    LineStart,
    LineEnd,
    GroupStart,
    GroupEnd,
    WordStart,
    WordEnd,
    BackReference,
    Repeat,     // greedy, zero or more
    Optional,   // zero or one (a class: zero or more)
    LazyRepeat, // as few as the rest of the pattern allows
};

namespace {

constexpr int kNotFound = -1;
constexpr int kGroups = 10; // group 0 is the whole match
// The component compiles into 2048 bytes and refuses a pattern once its code passes this size.
constexpr size_t kMaxCodeBytes = 2048 - 32 - 10;
constexpr int kLastMatchTries = 1000;

bool IsWordByte(unsigned char c) {
    return c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
           (c >= 'A' && c <= 'Z') || c == '_';
}

void SetWithCase(std::bitset<256>& set, unsigned char c, bool match_case) {
    set.set(c);
    if (!match_case && c >= 'a' && c <= 'z')
        set.set(c - 'a' + 'A');
    else if (!match_case && c >= 'A' && c <= 'Z')
        set.set(c - 'A' + 'a');
}

int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The character after a backslash at `at`: the byte it stands for, or -1 when it names a class,
// whose characters are then added to `set`. `extra` tells how many more pattern bytes it used.
int Escape(std::string_view pattern, size_t at, std::bitset<256>& set, size_t& extra) {
    auto byte = [&](size_t i) -> unsigned char { return i < pattern.size() ? pattern[i] : 0; };
    extra = 0;
    const unsigned char c = byte(at);
    switch (c) {
    case 0:
        return '\\';
    case 'a':
        return '\a';
    case 'b':
        return '\b';
    case 'f':
        return '\f';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    case 'v':
        return '\v';
    case 'x': {
        const int high = HexDigit(byte(at + 1));
        const int low = HexDigit(byte(at + 2));
        if (high < 0 || low < 0)
            return 'x';
        extra = 2;
        return high * 16 + low;
    }
    case 'd':
    case 'D':
    case 's':
    case 'S':
    case 'w':
    case 'W':
        for (int b = 0; b < 256; ++b) {
            const bool digit = b >= '0' && b <= '9';
            const bool space = b == ' ' || (b >= 0x09 && b <= 0x0D);
            const bool in = c == 'd'   ? digit
                            : c == 'D' ? !digit
                            : c == 's' ? space
                            : c == 'S' ? !space
                            : c == 'w' ? IsWordByte(static_cast<unsigned char>(b))
                                       : !IsWordByte(static_cast<unsigned char>(b));
            if (in)
                set.set(static_cast<size_t>(b));
        }
        return -1;
    default:
        return c;
    }
}

} // namespace

RegexSearch::RegexSearch(std::string_view pattern, bool match_case, long long steps)
    : steps_left_(steps) {
    pattern = pattern.substr(0, pattern.find('\0'));
    if (!Compile(pattern, match_case))
        nodes_.clear();
    nodes_.push_back(Node{Op::End, 0, Op::End, {}});
    anchored_start_ = !pattern.empty() && pattern.front() == '^';
    anchored_end_ = !pattern.empty() && pattern.back() == '$' &&
                    !(pattern.size() > 1 && pattern[pattern.size() - 2] == '\\');
}

bool RegexSearch::Compile(std::string_view pattern, bool match_case) {
    auto byte = [&](size_t i) -> unsigned char { return i < pattern.size() ? pattern[i] : 0; };
    auto fail = [this](const char* why) {
        error_ = why;
        return false;
    };
    auto bytes_of = [](const Node& node) -> size_t {
        switch (node.op) {
        case Op::Class:
            return 33;
        case Op::Char:
        case Op::GroupStart:
        case Op::GroupEnd:
        case Op::BackReference:
            return 2;
        default:
            return 1;
        }
    };
    if (pattern.empty())
        return fail("No previous regular expression");

    size_t code_bytes = 0;
    std::vector<unsigned char> open_groups;
    unsigned char next_group = 1;
    auto add = [&](Node node) {
        code_bytes += bytes_of(node);
        nodes_.push_back(node);
    };
    for (size_t at = 0; at < pattern.size(); ++at) {
        if (code_bytes > kMaxCodeBytes)
            return fail("Pattern too long");
        const unsigned char c = byte(at);
        switch (c) {
        case '.':
            add({Op::Any, 0, Op::End, {}});
            break;
        case '^':
            add(at == 0 ? Node{Op::LineStart, 0, Op::End, {}} : Node{Op::Char, c, Op::End, {}});
            break;
        case '$':
            add(byte(at + 1) == 0 ? Node{Op::LineEnd, 0, Op::End, {}}
                                  : Node{Op::Char, c, Op::End, {}});
            break;
        case '[': {
            std::bitset<256> set;
            int previous = 0;
            ++at;
            const bool negate = byte(at) == '^';
            if (negate)
                ++at;
            if (byte(at) == '-') {
                previous = '-';
                set.set('-');
                ++at;
            }
            if (byte(at) == ']') {
                previous = ']';
                set.set(']');
                ++at;
            }
            while (byte(at) != 0 && byte(at) != ']') {
                if (byte(at) == '-') {
                    if (previous < 0) {
                        // After a class such as \d a dash stands for itself.
                        previous = '-';
                        set.set('-');
                    } else if (byte(at + 1) == 0) {
                        return fail("Missing ]");
                    } else if (byte(at + 1) == ']') {
                        previous = '-';
                        set.set('-');
                    } else {
                        int low = previous + 1;
                        int high = byte(++at);
                        if (high == '\\') {
                            if (byte(at + 1) == 0)
                                return fail("Missing ]");
                            size_t extra = 0;
                            high = Escape(pattern, ++at, set, extra);
                            at += extra;
                            if (high >= 0)
                                set.set(static_cast<size_t>(high));
                            previous = high;
                        }
                        if (previous < 0) {
                            previous = '-';
                            set.set('-');
                        } else {
                            // The range's first character is in already; the range does not
                            // change which character a following dash starts from.
                            while (low <= high)
                                SetWithCase(set, static_cast<unsigned char>(low++), match_case);
                        }
                    }
                } else if (byte(at) == '\\' && byte(at + 1) != 0) {
                    size_t extra = 0;
                    const int escaped = Escape(pattern, ++at, set, extra);
                    at += extra;
                    if (escaped >= 0)
                        set.set(static_cast<size_t>(escaped));
                    previous = escaped;
                } else {
                    previous = byte(at);
                    SetWithCase(set, byte(at), match_case);
                }
                ++at;
            }
            if (byte(at) == 0)
                return fail("Missing ]");
            add({Op::Class, 0, Op::End, negate ? ~set : set});
            break;
        }
        case '*':
        case '+':
        case '?': {
            if (at == 0)
                return fail("Empty closure");
            const Node previous = nodes_.back();
            // A second repetition sign after '*' or '+' changes nothing.
            if (previous.op == Op::Repeat || previous.op == Op::LazyRepeat)
                break;
            switch (previous.op) {
            case Op::LineStart:
            case Op::GroupStart:
            case Op::GroupEnd:
            case Op::WordStart:
            case Op::WordEnd:
            case Op::BackReference:
                return fail("Illegal closure");
            default:
                break;
            }
            if (c == '+')
                add(previous);
            // The repetition takes the place of what it repeats; anything but a single character,
            // '.' or a class (a repetition of '?', say) never matches.
            Node& repeat = nodes_.back();
            repeat.item = repeat.op;
            repeat.op = c == '?' ? Op::Optional : byte(at + 1) == '?' ? Op::LazyRepeat : Op::Repeat;
            code_bytes += 2;
            break;
        }
        case '\\': {
            const unsigned char next = byte(++at);
            if (next == '<') {
                add({Op::WordStart, 0, Op::End, {}});
            } else if (next == '>') {
                if (!nodes_.empty() && nodes_.back().op == Op::WordStart)
                    return fail("Null pattern inside \\<\\>");
                add({Op::WordEnd, 0, Op::End, {}});
            } else if (next >= '1' && next <= '9') {
                const unsigned char group = next - '0';
                if (!open_groups.empty() && open_groups.back() == group)
                    return fail("Cyclical reference");
                if (next_group <= group)
                    return fail("Undetermined reference");
                add({Op::BackReference, group, Op::End, {}});
            } else if (next == '(') {
                if (next_group >= kGroups)
                    return fail("Too many \\(\\) pairs");
                open_groups.push_back(next_group);
                add({Op::GroupStart, next_group++, Op::End, {}});
            } else if (next == ')') {
                if (!nodes_.empty() && nodes_.back().op == Op::GroupStart)
                    return fail("Null pattern inside \\(\\)");
                if (open_groups.empty())
                    return fail("Unmatched \\)");
                add({Op::GroupEnd, open_groups.back(), Op::End, {}});
                open_groups.pop_back();
            } else {
                std::bitset<256> set;
                size_t extra = 0;
                const int escaped = Escape(pattern, at, set, extra);
                at += extra;
                // An escaped character matches itself only, whatever the case option says.
                if (escaped >= 0)
                    add({Op::Char, static_cast<unsigned char>(escaped), Op::End, {}});
                else
                    add({Op::Class, 0, Op::End, set});
            }
            break;
        }
        default:
            if (match_case || !IsWordByte(c)) {
                add({Op::Char, c, Op::End, {}});
            } else {
                std::bitset<256> set;
                SetWithCase(set, c, false);
                add({Op::Class, 0, Op::End, set});
            }
            break;
        }
    }
    if (!open_groups.empty())
        return fail("Unmatched \\(");
    return true;
}

bool RegexSearch::Spend(long long steps) {
    steps_left_ -= steps;
    if (steps_left_ < 0)
        exhausted_ = true;
    return !exhausted_;
}

char RegexSearch::At(int position) const {
    if (position < text_.base || position >= text_.length)
        return '\0';
    return text_.bytes[position - text_.base];
}

int RegexSearch::LineStart(int position) const {
    int at = position;
    while (at > 0) {
        const char before = At(at - 1);
        if (before == '\n' || (before == '\r' && At(at) != '\n'))
            break;
        --at;
    }
    return at;
}

int RegexSearch::LineEnd(int position) const {
    // Between the CR and the LF of a line end is still the line of the CR.
    if (position > 0 && At(position - 1) == '\r' && At(position) == '\n')
        return position - 1;
    int at = position;
    while (at < text_.length && At(at) != '\r' && At(at) != '\n')
        ++at;
    return at;
}

int RegexSearch::NextLineStart(int position) const {
    const int end = LineEnd(position);
    if (end >= text_.length)
        return text_.length + 1;
    return end + (At(end) == '\r' && At(end + 1) == '\n' ? 2 : 1);
}

int RegexSearch::OutsideCharacter(int position) const {
    if (position <= 0)
        return 0;
    if (position >= text_.length)
        return text_.length;
    // Off the continuation bytes of a UTF-8 character, forwards.
    for (int moved = 0; moved < 3 && position < text_.length &&
                        (static_cast<unsigned char>(At(position)) & 0xC0) == 0x80;
         ++moved)
        ++position;
    return position;
}

bool RegexSearch::ItemMatches(const Node& node, unsigned char c) const {
    return node.item == Op::Char ? c == node.byte : node.set.test(c);
}

int RegexSearch::MatchHere(int position, size_t node_index) {
    // Past the end of the line every byte reads as NUL, as in the component.
    auto at = [this](int p) -> unsigned char {
        return p >= line_end_ ? 0 : static_cast<unsigned char>(At(p));
    };
    for (;;) {
        if (!Spend(1))
            return kNotFound;
        const Node& node = nodes_[node_index++];
        switch (node.op) {
        case Op::End:
            return position;
        case Op::Char:
            if (at(position++) != node.byte)
                return kNotFound;
            break;
        case Op::Any:
            if (position++ >= line_end_)
                return kNotFound;
            break;
        case Op::Class:
            if (position >= line_end_ || !node.set.test(at(position++)))
                return kNotFound;
            break;
        case Op::LineStart:
            if (position != begin_)
                return kNotFound;
            break;
        case Op::LineEnd:
            if (position < line_end_)
                return kNotFound;
            break;
        case Op::GroupStart:
            group_start_[node.byte] = position;
            break;
        case Op::GroupEnd:
            group_end_[node.byte] = position;
            break;
        case Op::WordStart:
            if ((position != begin_ && IsWordByte(at(position - 1))) || !IsWordByte(at(position)))
                return kNotFound;
            break;
        case Op::WordEnd:
            if (position == begin_ || !IsWordByte(at(position - 1)) || IsWordByte(at(position)))
                return kNotFound;
            break;
        case Op::BackReference:
            for (int from = group_start_[node.byte]; from < group_end_[node.byte]; ++from) {
                if (!Spend(1) || at(from) != at(position++))
                    return kNotFound;
            }
            break;
        case Op::Repeat:
        case Op::Optional:
        case Op::LazyRepeat: {
            const int first = position;
            if (node.item == Op::Any) {
                if (node.op != Op::Optional)
                    position = std::max(position, line_end_);
                else if (position < line_end_)
                    ++position;
            } else if (node.item == Op::Char && node.op == Op::Optional) {
                if (position < line_end_ && at(position) == node.byte)
                    ++position;
            } else if (node.item == Op::Char || node.item == Op::Class) {
                while (position < line_end_ && ItemMatches(node, at(position)))
                    ++position;
            } else {
                return kNotFound;
            }
            if (!Spend(position - first))
                return kNotFound;
            // The longest run first (the shortest last when lazy), then one shorter at a time.
            int found = kNotFound;
            for (int length_end = position; length_end >= first; --length_end) {
                const int end = MatchHere(length_end, node_index);
                if (end != kNotFound) {
                    found = end;
                    position = length_end;
                    if (node.op != Op::LazyRepeat)
                        return found;
                }
                if (nodes_[node_index].op == Op::End || exhausted_)
                    return exhausted_ ? kNotFound : found;
            }
            // Run once more from the run kept, so that a group closing here ends there.
            if (nodes_[node_index].op == Op::GroupEnd)
                MatchHere(position, node_index);
            return exhausted_ ? kNotFound : found;
        }
        }
    }
}

bool RegexSearch::Execute(int start, int end) {
    begin_ = start;
    line_end_ = end;
    std::fill(group_start_, group_start_ + kGroups, kNotFound);
    std::fill(group_end_, group_end_ + kGroups, kNotFound);
    const Node& first = nodes_.front();
    int position = start;
    int match_end = kNotFound;
    if (first.op == Op::End) {
        return false;
    } else if (first.op == Op::LineStart) {
        match_end = MatchHere(position, 0);
    } else if (first.op == Op::LineEnd) {
        position = end;
        match_end = end;
    } else {
        if (first.op == Op::Char) {
            const int scan_from = position;
            while (position < end && static_cast<unsigned char>(At(position)) != first.byte)
                ++position;
            if (!Spend(position - scan_from) || position >= end)
                return false;
        }
        for (; position < end; ++position) {
            match_end = MatchHere(position, 0);
            if (match_end != kNotFound || exhausted_)
                break;
        }
    }
    if (match_end == kNotFound || exhausted_)
        return false;
    group_start_[0] = position;
    group_end_[0] = match_end;
    return true;
}

bool RegexSearch::FindForwards(int from, int to, Match* match) {
    int start = OutsideCharacter(from);
    const int end = OutsideCharacter(to);
    // A start at the end of a line that is not the last to search begins on the next line.
    if (start >= LineEnd(start) && NextLineStart(start) <= end)
        start = NextLineStart(start);
    const bool start_on_line_start =
        start == 0 || At(start - 1) == '\n' || (At(start - 1) == '\r' && At(start) != '\n');
    for (int line = start;; line = NextLineStart(line)) {
        const int next_line = NextLineStart(line);
        if (!Spend(next_line - line))
            return false;
        const bool first_line = line == start;
        const bool last_line = next_line > end;
        int line_end = LineEnd(line);
        bool searched = !(first_line && anchored_start_ && !start_on_line_start);
        if (searched && last_line) {
            searched = !(anchored_end_ && end != line_end);
            line_end = end;
        }
        if (searched && Execute(line, line_end)) {
            *match = Match{group_start_[0], OutsideCharacter(group_end_[0])};
            return true;
        }
        if (last_line || exhausted_)
            return false;
    }
}

bool RegexSearch::FindBackwards(int from, int to, Match* match) {
    int start = OutsideCharacter(from);
    const int end = OutsideCharacter(to);
    int first_line = LineStart(start);
    const int last_line = LineStart(end);
    // A start at the beginning of a line that is not the last to search begins on the line before.
    if (start <= first_line && first_line > last_line) {
        first_line = LineStart(first_line - 1);
        start = LineEnd(first_line);
    }
    for (int line = first_line;; line = LineStart(line - 1)) {
        int line_start = line;
        int line_end = LineEnd(line);
        if (!Spend(line_end - line_start + 1))
            return false;
        bool searched = true;
        if (line == last_line) {
            searched = !(anchored_start_ && end != line_start);
            line_start = end;
        }
        if (searched && line == first_line) {
            searched = !(anchored_end_ && start != line_end);
            line_end = start;
        }
        if (searched && Execute(line_start, line_end)) {
            int found = group_start_[0];
            group_end_[0] = OutsideCharacter(group_end_[0]);
            int length = group_end_[0] - found;
            // The last match on the line is wanted: look again just after the one found.
            if (!anchored_start_) {
                bool again = true;
                for (int tries = kLastMatchTries; again && group_end_[0] <= line_end && tries > 0;
                     --tries) {
                    again = Execute(found + 1, line_end);
                    if (again && group_end_[0] <= from) {
                        found = group_start_[0];
                        length = group_end_[0] - group_start_[0];
                    } else {
                        again = false;
                    }
                }
            }
            if (exhausted_)
                return false;
            *match = Match{found, found + length};
            return true;
        }
        if (line == last_line || exhausted_)
            return false;
    }
}

RegexSearch::Outcome RegexSearch::Find(const Text& text, int from, int to, Match* match) {
    if (!error_.empty() || exhausted_)
        return exhausted_ ? Outcome::TooComplex : Outcome::NotFound;
    text_ = text;
    const bool found = from <= to ? FindForwards(from, to, match) : FindBackwards(from, to, match);
    if (exhausted_)
        return Outcome::TooComplex;
    return found ? Outcome::Found : Outcome::NotFound;
}
