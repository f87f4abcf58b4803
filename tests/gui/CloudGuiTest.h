#pragma once

#include "gui/GuiFixture.h"

#include "app/Interface.h"
#include "browse/SnippetBrowser.h"
#include "storage/Database.h"
#include "support/TestDatabase.h"

#include <wx/treectrl.h>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

// A GUI test against the real test server, emptied before each test: logging a user in the way
// the login does, watching the statements the program sends, and finding and opening tree nodes.
class CloudGuiTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        db_.Reset();
    }

    // Sets the current user, as logging in does (the tree and the open pages follow).
    void LogIn(const std::string& uid) { Workspace()->SetCurrentUserId(wxString::FromUTF8(uid)); }

    // From now on every statement the frame's connection sends lands in statements_.
    void RecordStatements() {
        Workspace()->Connection()->SetStatementObserver(
            [this](const std::string& statement) { statements_.push_back(statement); });
    }

    SnippetBrowser* Tree() const { return Workspace()->Tree(); }

    // The labels of a node's children, in order.
    static std::vector<wxString> Labels(const wxTreeCtrl* tree, const wxTreeItemId& parent) {
        std::vector<wxString> labels;
        wxTreeItemIdValue cookie;
        for (wxTreeItemId child = tree->GetFirstChild(parent, cookie); child.IsOk();
             child = tree->GetNextChild(parent, cookie))
            labels.push_back(tree->GetItemText(child));
        return labels;
    }
    // The node reached from the hidden root by these labels (the first child of each label);
    // invalid when there is none.
    static wxTreeItemId Node(const wxTreeCtrl* tree, std::initializer_list<wxString> path) {
        wxTreeItemId node = tree->GetRootItem();
        for (const wxString& label : path) {
            wxTreeItemIdValue cookie;
            wxTreeItemId child = tree->GetFirstChild(node, cookie);
            while (child.IsOk() && tree->GetItemText(child) != label)
                child = tree->GetNextChild(node, cookie);
            if (!child.IsOk())
                return child;
            node = child;
        }
        return node;
    }
    std::vector<wxString> Labels(std::initializer_list<wxString> path) const {
        return Labels(Tree(), Node(Tree(), path));
    }
    wxTreeItemId Node(std::initializer_list<wxString> path) const { return Node(Tree(), path); }

    // A double click on the selected node, which is what the tree opens.
    static void DoubleClick(wxTreeCtrl* tree, const wxTreeItemId& item) {
        tree->SelectItem(item);
        wxMouseEvent click(wxEVT_LEFT_DCLICK);
        click.SetEventObject(tree);
        tree->ProcessWindowEvent(click);
    }
    void DoubleClick(std::initializer_list<wxString> path) {
        const wxTreeItemId item = Node(path);
        ASSERT_TRUE(item.IsOk());
        DoubleClick(Tree(), item);
    }
    // Chooses an entry (SnippetBrowser::ID_OPEN or ID_DELETE) of a node's popup menu.
    void PopupCommand(std::initializer_list<wxString> path, int id) {
        const wxTreeItemId item = Node(path);
        ASSERT_TRUE(item.IsOk());
        Tree()->SelectItem(item);
        wxCommandEvent command(wxEVT_MENU, id);
        command.SetEventObject(Tree());
        Tree()->ProcessWindowEvent(command);
    }

    // Files of the scratch working directory, as bytes.
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

    TestDatabase db_;
    std::vector<std::string> statements_;
};
