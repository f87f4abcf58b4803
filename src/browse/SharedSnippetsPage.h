#pragma once

#include "editor/panel_with_stc.h"

class Interface;
class SnippetBrowser;
class wxButton;

// The user's shared-snippets page: the snippets that could be shared (local files and private
// cloud snippets) on the left, the user's public snippets on the right, the arrow button that
// publishes the left selection between them, and an editor below where either list shows a
// snippet.
class SharedSnippetsPage : public panel_with_stc {
public:
    enum { ID_SHARE = 6008 };

    SharedSnippetsPage(wxWindow* parent, Interface* owner);

    SnippetBrowser* Left() const { return left_; }
    SnippetBrowser* Right() const { return right_; }
    wxButton* Arrow() const { return arrow_; }

    // Publishes the left list's selection after a confirmation. Nothing is sent, and the user is
    // told why, when nobody is logged in or the selection is no snippet that can be read. A
    // statement that fails is reported, and the lists stay as they were.
    void ShareSelected();

    // After a login or logout: both lists show the new user's snippets (or none), and the editor
    // no longer shows what the previous user opened.
    void FollowUser();

private:
    Interface* owner_;
    SnippetBrowser* left_ = nullptr;
    SnippetBrowser* right_ = nullptr;
    wxButton* arrow_ = nullptr;
};
