#pragma once
// Checks one layout function against a table of the controls it must make:
// in creation order, each control's id, class, label, tooltip and the group
// box it sits in; then shows the window and checks that GTK could lay every
// control out inside it without a warning.

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/dialog.h>
#include <wx/listbox.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>
#include <wx/tooltip.h>

#include "client/dialogs/tests/support/GuiTest.h"

namespace LayoutCheck {

typedef wxSizer* (*LayoutFunction)(wxWindow*, bool, bool);

// A group of nullptr: the control sits in no group box.
struct SControl {
    int id;
    const char* className;
    const char* label; // nullptr: not checked (text controls, bitmap buttons)
    const char* tip;   // nullptr: no tooltip
    const char* group;
};

struct SLayoutCase {
    const char* name;
    LayoutFunction layout;
    std::vector<int> foundIds; // windows the dialog makes before the layout
    std::vector<SControl> controls;
};

inline std::string Utf8(const wxString& text)
{
    return std::string(text.utf8_str());
}

// The innermost group box around a window, searched through the sizer tree.
inline bool FindGroup(wxSizer* sizer, wxWindow* window, const wxStaticBox* around, const wxStaticBox*& out)
{
    if (wxStaticBoxSizer* box = dynamic_cast<wxStaticBoxSizer*>(sizer))
        around = box->GetStaticBox();
    for (wxSizerItem* item : sizer->GetChildren()) {
        if (item->GetWindow() == window) {
            out = around;
            return true;
        }
        if (item->GetSizer() && FindGroup(item->GetSizer(), window, around, out))
            return true;
    }
    return false;
}

inline bool IsFound(const SLayoutCase& c, int id)
{
    for (int found : c.foundIds)
        if (found == id)
            return true;
    return false;
}

inline void CheckControl(wxWindow* parent, wxWindow* window, const SControl& want)
{
    SCOPED_TRACE("control " + std::to_string(want.id));
    EXPECT_EQ(window->GetId(), want.id);
    EXPECT_STREQ(window->GetClassInfo()->GetClassName(), wxString(want.className).wc_str());
    if (want.label) {
        EXPECT_EQ(Utf8(window->GetLabel()), want.label);
    }
    wxToolTip* tip = window->GetToolTip();
    if (want.tip) {
        EXPECT_EQ(tip ? Utf8(tip->GetTip()) : std::string("(none)"), want.tip);
    } else {
        EXPECT_EQ(tip, nullptr) << Utf8(tip->GetTip());
    }
    const wxStaticBox* box = nullptr;
    ASSERT_TRUE(FindGroup(parent->GetSizer(), window, nullptr, box)) << "not in the sizer tree";
    if (want.group) {
        EXPECT_EQ(box ? Utf8(box->GetLabel()) : std::string("(no group)"), want.group);
    } else {
        EXPECT_EQ(box, nullptr) << "in group " << Utf8(box->GetLabel());
    }
}

// Every control has room inside the window's client area.
inline void CheckPlaced(wxWindow* parent)
{
    wxSize client = parent->GetClientSize();
    for (wxWindow* child : parent->GetChildren()) {
        wxRect r = child->GetRect();
        SCOPED_TRACE("control " + std::to_string(child->GetId()));
        EXPECT_GT(r.width, 0);
        EXPECT_GT(r.height, 0);
        EXPECT_GE(r.x, 0);
        EXPECT_GE(r.y, 0);
        EXPECT_LE(r.GetRight(), client.x);
        EXPECT_LE(r.GetBottom(), client.y);
    }
}

inline void FillLists(wxWindow* window)
{
    for (wxWindow* child : window->GetChildren()) {
        if (wxListBox* list = dynamic_cast<wxListBox*>(child))
            for (int i = 0; i < 30; ++i)
                list->Append(wxString::Format("entry %d", i));
        FillLists(child);
    }
}

// Builds the layout into a fresh dialog; the caller destroys it.
inline wxDialog* Build(const SLayoutCase& c, bool callFit = true, bool setSizer = true, wxSizer** top = nullptr)
{
    wxDialog* dialog = new wxDialog(nullptr, wxID_ANY, wxString::FromUTF8(c.name), wxDefaultPosition, wxDefaultSize,
                                    wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER);
    for (int id : c.foundIds)
        new wxPanel(dialog, id, wxDefaultPosition, wxSize(60, 40));
    wxSizer* sizer = c.layout(dialog, callFit, setSizer);
    if (top)
        *top = sizer;
    return dialog;
}

inline void CheckCase(const SLayoutCase& c)
{
    SCOPED_TRACE(c.name);
    GuiTest::CStderrCapture capture;
    wxDialog* dialog = Build(c);
    ASSERT_NE(dialog->GetSizer(), nullptr);
    EXPECT_NE(dialog->GetMinSize(), wxDefaultSize);

    std::vector<wxWindow*> made;
    for (wxWindow* child : dialog->GetChildren())
        if (!dynamic_cast<wxStaticBox*>(child) && !IsFound(c, child->GetId()))
            made.push_back(child);
    std::vector<int> madeIds, wantIds;
    for (wxWindow* w : made)
        madeIds.push_back(w->GetId());
    for (const SControl& control : c.controls)
        wantIds.push_back(control.id);
    EXPECT_EQ(madeIds, wantIds) << "controls, in creation order";
    if (madeIds == wantIds)
        for (size_t i = 0; i < made.size(); ++i)
            CheckControl(dialog, made[i], c.controls[i]);

    for (int id : c.foundIds) {
        wxWindow* found = dialog->FindWindow(id);
        const wxStaticBox* box = nullptr;
        EXPECT_TRUE(found && FindGroup(dialog->GetSizer(), found, nullptr, box)) << "found window " << id;
    }

    // Lists get entries, as their dialogs fill them, before the window shows.
    FillLists(dialog);
    dialog->Show();
    dialog->Layout();
    GuiTest::Pump();
    CheckPlaced(dialog);
    dialog->Destroy();
    GuiTest::Pump();
    EXPECT_EQ(GuiTest::GtkComplaints(capture.Finish()), "");
}

} // namespace LayoutCheck
