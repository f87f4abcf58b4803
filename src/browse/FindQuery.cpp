#include "browse/FindQuery.h"

#include "app/TextCodec.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <limits>

namespace {

// Case folding beyond ASCII comes from the C library's Unicode tables, taken from its C.UTF-8
// locale so that the program's own locale (often plain C) changes nothing. Kept for the process.
locale_t Utf8Locale() {
    static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

wchar_t FoldChar(wchar_t c) {
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? static_cast<wchar_t>(c + ('a' - 'A')) : c;
    const locale_t locale = Utf8Locale();
    return locale != static_cast<locale_t>(0) ? static_cast<wchar_t>(::towlower_l(c, locale)) : c;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point of the UTF-8 sequence at `bytes[i]`, advancing `i`; U+FFFD (one byte) for a
// byte that starts no valid sequence.
char32_t NextCodePoint(std::string_view bytes, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (lead >= 0xF5)
        length = 0;
    char32_t c = length == 4 ? lead & 0x07 : length == 3 ? lead & 0x0F : lead & 0x1F;
    bool valid = length != 0 && i + length <= bytes.size();
    for (size_t k = 1; valid && k < length; ++k) {
        valid = (byte(i + k) & 0xC0) == 0x80;
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (valid && ((length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) ||
                  (length == 4 && (c < 0x10000 || c > 0x10FFFF))))
        valid = false;
    if (!valid) {
        ++i;
        return 0xFFFD;
    }
    i += length;
    return c;
}

bool IsBlank(wxUniChar c) {
    const wxUniChar::value_type v = c.GetValue();
    return v == ' ' || (v >= '\t' && v <= '\r') || v == 0xA0;
}

// The fewest characters between the words where they lie closest together in `text`: the span
// that holds one occurrence of each, less the words' own lengths. Long texts count the first
// occurrences only, which is plenty for ranking.
template <typename Text, typename Word>
size_t WindowGap(Text text, const std::vector<const Word*>& words) {
    if (words.size() < 2)
        return 0;
    constexpr size_t kMaxOccurrences = 1000;
    std::vector<std::vector<size_t>> at(words.size());
    size_t lengths = 0;
    for (size_t j = 0; j < words.size(); ++j) {
        lengths += words[j]->size();
        for (size_t p = text.find(*words[j], 0); p != Text::npos && at[j].size() < kMaxOccurrences;
             p = text.find(*words[j], p + 1))
            at[j].push_back(p);
        if (at[j].empty())
            return 0;
    }
    std::vector<size_t> next(words.size(), 0);
    size_t best = std::numeric_limits<size_t>::max();
    for (;;) {
        size_t low = std::numeric_limits<size_t>::max();
        size_t low_word = 0;
        size_t high_end = 0;
        for (size_t j = 0; j < words.size(); ++j) {
            const size_t p = at[j][next[j]];
            if (p < low) {
                low = p;
                low_word = j;
            }
            high_end = std::max(high_end, p + words[j]->size());
        }
        const size_t span = high_end - low;
        best = std::min(best, span > lengths ? span - lengths : 0);
        if (++next[low_word] == at[low_word].size())
            return best;
    }
}

// The characters skipped inside the shortest part of `title` that holds `word`'s characters in
// order, or nothing when the title does not hold them.
std::optional<size_t> SubsequenceSpread(std::wstring_view title, const std::wstring& word) {
    std::optional<size_t> best;
    for (size_t start = title.find(word[0]); start != std::wstring_view::npos;
         start = title.find(word[0], start + 1)) {
        size_t matched = 1;
        size_t end = start + 1;
        for (; end < title.size() && matched < word.size(); ++end) {
            if (title[end] == word[matched])
                ++matched;
        }
        if (matched < word.size())
            break; // later starts cannot hold it either
        const size_t spread = end - start - word.size();
        if (!best || spread < *best)
            best = spread;
    }
    return best;
}

} // namespace

std::wstring FoldCase(const wxString& text) {
    std::wstring folded;
    folded.reserve(text.length());
    for (const wxUniChar c : text)
        folded += FoldChar(static_cast<wchar_t>(c.GetValue()));
    return folded;
}

std::string FoldUtf8(std::string_view bytes) {
    std::string folded;
    folded.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            folded += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : byte);
            ++i;
            continue;
        }
        AppendUtf8(folded,
                   static_cast<char32_t>(FoldChar(static_cast<wchar_t>(NextCodePoint(bytes, i)))));
    }
    return folded;
}

std::string FoldLatin1(std::string_view bytes) {
    std::string folded;
    folded.reserve(bytes.size());
    for (const char byte : bytes)
        AppendUtf8(folded, static_cast<char32_t>(
                               FoldChar(static_cast<wchar_t>(static_cast<unsigned char>(byte)))));
    return folded;
}

FindQuery::FindQuery(const wxString& text) {
    wxString word;
    const auto end_word = [this, &word] {
        if (word.empty())
            return;
        std::wstring folded = FoldCase(word);
        if (std::find(folded_.begin(), folded_.end(), folded) == folded_.end()) {
            words_.push_back(word);
            folded_utf8_.push_back(text::ToUtf8(wxString(folded)).value_or(std::string()));
            folded_.push_back(std::move(folded));
        }
        word.clear();
    };
    for (const wxUniChar c : text) {
        if (IsBlank(c))
            end_word();
        else
            word += c;
    }
    end_word();
}

std::optional<SnippetMatch> FindQuery::Match(std::wstring_view title, std::wstring_view language,
                                             std::string_view content) const {
    SnippetMatch match;
    std::vector<const std::wstring*> in_title;
    std::vector<const std::string*> in_content;
    size_t spread = 0;
    bool spread_out = false;
    for (size_t i = 0; i < folded_.size(); ++i) {
        const std::wstring& word = folded_[i];
        if (title.find(word) != std::wstring_view::npos) {
            in_title.push_back(&word);
        } else if (language.find(word) != std::wstring_view::npos) {
            ++match.language_only;
        } else if (!folded_utf8_[i].empty() &&
                   content.find(folded_utf8_[i]) != std::string_view::npos) {
            match.content_words.push_back(i);
            in_content.push_back(&folded_utf8_[i]);
        } else if (const std::optional<size_t> skipped = SubsequenceSpread(title, word)) {
            spread += *skipped;
            spread_out = true;
        } else {
            return std::nullopt;
        }
    }
    if (spread_out) {
        match.rank = MatchRank::Subsequence;
        match.gap = spread;
    } else if (!in_content.empty()) {
        match.rank = MatchRank::Content;
        match.gap = WindowGap(content, in_content);
    } else {
        match.rank = MatchRank::Title;
        match.gap = WindowGap(title, in_title);
    }
    return match;
}

LineExcerpt FindQuery::FirstMatchingLine(const wxString& content, const SnippetMatch& match) const {
    LineExcerpt excerpt;
    if (match.content_words.empty())
        return excerpt;
    const std::wstring folded = FoldCase(content);
    size_t at = std::wstring::npos;
    size_t length = 0;
    for (const size_t i : match.content_words) {
        const size_t found = folded.find(folded_[i]);
        if (found < at) {
            at = found;
            length = folded_[i].size();
        }
    }
    if (at == std::wstring::npos)
        return excerpt;

    // The line, without its indentation and line end; a long line is cut to show the match
    // with some text before it.
    constexpr size_t kBefore = 30;
    constexpr size_t kWidth = 120;
    const size_t line_start = at == 0 ? 0 : folded.rfind(L'\n', at - 1) + 1;
    size_t line_end = folded.find(L'\n', at);
    if (line_end == std::wstring::npos)
        line_end = folded.size();
    if (line_end > at + length && folded[line_end - 1] == L'\r')
        --line_end;
    size_t start = line_start;
    while (start < at && (folded[start] == L' ' || folded[start] == L'\t'))
        ++start;
    wxString before;
    if (at - start > kBefore + 10) {
        start = at - kBefore;
        before = wxString::FromUTF8("\xE2\x80\xA6");
    }
    const size_t end = std::min(line_end, std::max(start + kWidth, at + length));
    excerpt.text = before + content.Mid(start, end - start);
    if (end < line_end)
        excerpt.text += wxString::FromUTF8("\xE2\x80\xA6");
    excerpt.text.Replace("\t", " ");
    excerpt.match_start = before.length() + (at - start);
    excerpt.match_length = std::min(length, end - at);
    return excerpt;
}
