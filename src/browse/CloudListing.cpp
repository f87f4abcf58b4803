#include "browse/CloudListing.h"

#include "app/TextCodec.h"

void CloudListing::Add(std::string_view language, std::string_view title, std::string_view sid) {
    // Equal bytes are equal text, so only a change of bytes needs decoding to tell whether the
    // language changed (different bytes that are not UTF-8 may decode alike).
    if (language != previous_language_) {
        previous_language_.assign(language);
        wxString text = text::FromUtf8(language);
        const bool differs = languages_.empty() ? !text.empty() : text != languages_.back();
        if (differs) {
            runs_.push_back(Run{static_cast<Index>(rows_.size()), 0});
            languages_.emplace_back();
            languages_.back().swap(text);
        }
    }
    rows_.push_back(Row{static_cast<std::uint32_t>(bytes_.size()),
                        static_cast<std::uint32_t>(title.size()),
                        static_cast<std::uint32_t>(bytes_.size() + title.size()),
                        static_cast<std::uint32_t>(sid.size())});
    bytes_.append(title);
    bytes_.append(sid);
    if (!runs_.empty())
        ++runs_.back().row_count;
}

void CloudListing::Clear() {
    rows_.clear();
    bytes_.clear();
    runs_.clear();
    languages_.clear();
    previous_language_.clear();
}

wxString CloudListing::Title(Index row) const {
    return text::FromUtf8(
        std::string_view(bytes_).substr(rows_[row].title_offset, rows_[row].title_length));
}

wxString CloudListing::Sid(Index row) const {
    return text::FromUtf8(
        std::string_view(bytes_).substr(rows_[row].sid_offset, rows_[row].sid_length));
}
