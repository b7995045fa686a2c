#pragma once

// Building blocks of the layout functions. Each control is made with its id,
// label, size, style and tooltip in one call; each item goes into its sizer
// with the flags that the sizer accepts (wx 3.2 asserts on alignments that a
// sizer ignores, and on alignment together with expansion).

#include <initializer_list>

#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/font.h>
#include <wx/gauge.h>
#include <wx/listbox.h>
#include <wx/radiobox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

namespace LayoutKit {

// Item options: GROW fills the cell (wxGROW); RIGHT right-aligns an item
// of a column (a row has no horizontal alignment to give).
enum EItemOption { GROW = 1, RIGHT = 2 };

const int kBorder = 5;

// The layouts are written with ASCII and UTF-8 texts.
wxString Str(const char* text);

// A font of the layouts: point size, family and weight; points 0 = keep.
struct SFont {
    int points = 0;
    wxFontFamily family = wxFONTFAMILY_DEFAULT;
    wxFontWeight weight = wxFONTWEIGHT_NORMAL;
};
SFont Font(int points, wxFontFamily family, wxFontWeight weight = wxFONTWEIGHT_NORMAL);

wxBoxSizer* Column();
wxBoxSizer* Row();
// A static box with the label (created before its contents) and its sizer.
wxStaticBoxSizer* Group(wxWindow* parent, const char* label, int orient);
wxGridSizer* Grid(int rows, int cols);
wxFlexGridSizer* FlexGrid(int cols, int growableCol = -1);

void Add(wxSizer* to, wxWindow* item, int proportion = 0, int options = 0, int border = kBorder);
void Add(wxSizer* to, wxSizer* item, int proportion = 0, int options = 0, int border = kBorder);
void AddSpacer(wxSizer* to, int width, int height);
// A window the dialog made before calling the layout; absent, it is left out.
void AddFound(wxSizer* to, wxWindow* parent, int id, int proportion = 0, int options = 0);

// A size the layout asks for is a minimum: a theme whose natural size is
// larger wins, so no control is squeezed below what GTK can draw.
void ApplyMinSize(wxWindow* control, const wxSize& wanted);

wxStaticText* Label(wxWindow* parent, int id, const char* text, const wxSize& size = wxDefaultSize,
                    long style = 0, const SFont& font = SFont(), const char* tip = nullptr);
wxTextCtrl* Text(wxWindow* parent, int id, const wxSize& size, long style, const char* tip,
                 const SFont& font = SFont());
wxButton* Button(wxWindow* parent, int id, const char* label, const char* tip = nullptr,
                 bool isDefault = false, const wxSize& size = wxDefaultSize, long style = 0);
wxBitmapButton* BitmapButton(wxWindow* parent, int id, const wxBitmap& bitmap, const wxSize& size,
                             const char* tip);
wxCheckBox* Check(wxWindow* parent, int id, const char* label, const char* tip = nullptr,
                  bool checked = false);
wxRadioButton* Radio(wxWindow* parent, int id, const char* label, const char* tip, bool startsGroup);
// majorDim counts rows when inRows (1: the items side by side), else columns.
wxRadioBox* RadioBox(wxWindow* parent, int id, const char* label,
                     std::initializer_list<const char*> items, int majorDim, bool inRows,
                     const char* tip);
wxListBox* List(wxWindow* parent, int id, const wxSize& size, bool sorted, const char* tip,
                std::initializer_list<const char*> items = {});
wxChoice* Choice(wxWindow* parent, int id, std::initializer_list<const char*> items,
                 const wxSize& size, const char* tip);
wxSpinCtrl* Spin(wxWindow* parent, int id, const char* text, int low, int high, int initial,
                 const wxSize& size, const char* tip = nullptr);
wxSlider* Slider(wxWindow* parent, int id, int value, int low, int high, const wxSize& size,
                 bool ticks, const char* tip);
wxGauge* Gauge(wxWindow* parent, int id, int range);
wxStaticLine* Line(wxWindow* parent, const wxSize& size, bool vertical);

// Installs the top sizer on the parent when setSizer, and then sets the
// parent's size hints from it when callFit. Returns the top sizer.
wxSizer* Finish(wxWindow* parent, wxSizer* top, bool callFit, bool setSizer);

} // namespace LayoutKit
