#include "client/dialogs/LayoutKit.h"

#include <algorithm>

#include "client/dialogs/DialogIds.h"

namespace LayoutKit {

namespace {

int SizerFlags(wxSizer* to, int options)
{
    if (options & GROW)
        return wxALL | wxGROW;
    // dynamic_cast, not wxDynamicCast: the macro first casts statically,
    // which is undefined for a sizer of another kind.
    wxBoxSizer* box = dynamic_cast<wxBoxSizer*>(to);
    if (!box)
        return wxALL | ((options & RIGHT) ? (wxALIGN_RIGHT | wxALIGN_CENTRE_VERTICAL) : wxALIGN_CENTRE);
    if (box->GetOrientation() == wxVERTICAL)
        return wxALL | ((options & RIGHT) ? wxALIGN_RIGHT : wxALIGN_CENTRE_HORIZONTAL);
    return wxALL | wxALIGN_CENTRE_VERTICAL;
}

void ApplyFont(wxWindow* control, const SFont& font)
{
    if (font.points <= 0)
        return;
    control->SetFont(wxFont(font.points, font.family, wxFONTSTYLE_NORMAL, font.weight, false));
}

void ApplyTip(wxWindow* control, const char* tip)
{
    if (tip)
        control->SetToolTip(Str(tip));
}

wxArrayString Items(std::initializer_list<const char*> items)
{
    wxArrayString out;
    for (const char* item : items)
        out.Add(Str(item));
    return out;
}

} // namespace

wxString Str(const char* text)
{
    return wxString::FromUTF8(text ? text : "");
}

SFont Font(int points, wxFontFamily family, wxFontWeight weight)
{
    SFont font;
    font.points = points;
    font.family = family;
    font.weight = weight;
    return font;
}

wxBoxSizer* Column()
{
    return new wxBoxSizer(wxVERTICAL);
}

wxBoxSizer* Row()
{
    return new wxBoxSizer(wxHORIZONTAL);
}

wxStaticBoxSizer* Group(wxWindow* parent, const char* label, int orient)
{
    wxStaticBox* box = new wxStaticBox(parent, wxID_ANY, Str(label));
    return new wxStaticBoxSizer(box, orient);
}

wxGridSizer* Grid(int rows, int cols)
{
    return new wxGridSizer(rows, cols, 0, 0);
}

wxFlexGridSizer* FlexGrid(int cols, int growableCol)
{
    wxFlexGridSizer* grid = new wxFlexGridSizer(cols, 0, 0);
    if (growableCol >= 0)
        grid->AddGrowableCol(growableCol);
    return grid;
}

void Add(wxSizer* to, wxWindow* item, int proportion, int options, int border)
{
    to->Add(item, proportion, SizerFlags(to, options), border);
}

void Add(wxSizer* to, wxSizer* item, int proportion, int options, int border)
{
    to->Add(item, proportion, SizerFlags(to, options), border);
}

void AddSpacer(wxSizer* to, int width, int height)
{
    to->Add(width, height, 0, SizerFlags(to, 0), kBorder);
}

void AddFound(wxSizer* to, wxWindow* parent, int id, int proportion, int options)
{
    wxWindow* found = parent->FindWindow(id);
    if (found && found != parent)
        Add(to, found, proportion, options);
}

void ApplyMinSize(wxWindow* control, const wxSize& wanted)
{
    if (wanted == wxDefaultSize)
        return;
    wxSize best = control->GetBestSize();
    wxSize size(wanted.x < 0 ? -1 : std::max(wanted.x, best.x),
                wanted.y < 0 ? -1 : std::max(wanted.y, best.y));
    control->SetInitialSize(size);
}

wxStaticText* Label(wxWindow* parent, int id, const char* text, const wxSize& size, long style,
                    const SFont& font, const char* tip)
{
    wxStaticText* label = new wxStaticText(parent, id, Str(text), wxDefaultPosition, wxDefaultSize, style);
    ApplyFont(label, font);
    ApplyMinSize(label, size);
    ApplyTip(label, tip);
    return label;
}

wxTextCtrl* Text(wxWindow* parent, int id, const wxSize& size, long style, const char* tip,
                 const SFont& font)
{
    wxTextCtrl* text = new wxTextCtrl(parent, id, wxEmptyString, wxDefaultPosition, wxDefaultSize, style);
    ApplyFont(text, font);
    ApplyMinSize(text, size);
    ApplyTip(text, tip);
    return text;
}

wxButton* Button(wxWindow* parent, int id, const char* label, const char* tip, bool isDefault,
                 const wxSize& size, long style)
{
    wxButton* button = new wxButton(parent, id, Str(label), wxDefaultPosition, wxDefaultSize, style);
    ApplyMinSize(button, size);
    if (isDefault)
        button->SetDefault();
    ApplyTip(button, tip);
    return button;
}

wxBitmapButton* BitmapButton(wxWindow* parent, int id, const wxBitmap& bitmap, const wxSize& size,
                             const char* tip)
{
    wxBitmapButton* button = new wxBitmapButton(parent, id, bitmap);
    ApplyMinSize(button, size);
    ApplyTip(button, tip);
    return button;
}

wxCheckBox* Check(wxWindow* parent, int id, const char* label, const char* tip, bool checked)
{
    wxCheckBox* box = new wxCheckBox(parent, id, Str(label));
    if (checked)
        box->SetValue(true);
    ApplyTip(box, tip);
    return box;
}

wxRadioButton* Radio(wxWindow* parent, int id, const char* label, const char* tip, bool startsGroup)
{
    wxRadioButton* radio = new wxRadioButton(parent, id, Str(label), wxDefaultPosition, wxDefaultSize,
                                             startsGroup ? wxRB_GROUP : 0);
    ApplyTip(radio, tip);
    return radio;
}

wxRadioBox* RadioBox(wxWindow* parent, int id, const char* label,
                     std::initializer_list<const char*> items, int majorDim, bool inRows,
                     const char* tip)
{
    wxRadioBox* box = new wxRadioBox(parent, id, Str(label), wxDefaultPosition, wxDefaultSize,
                                     Items(items), majorDim, inRows ? wxRA_SPECIFY_ROWS : wxRA_SPECIFY_COLS);
    ApplyTip(box, tip);
    return box;
}

wxListBox* List(wxWindow* parent, int id, const wxSize& size, bool sorted, const char* tip,
                std::initializer_list<const char*> items)
{
    wxListBox* list = new wxListBox(parent, id, wxDefaultPosition, wxDefaultSize, Items(items),
                                    wxLB_SINGLE | (sorted ? wxLB_SORT : 0));
    ApplyMinSize(list, size);
    ApplyTip(list, tip);
    return list;
}

wxChoice* Choice(wxWindow* parent, int id, std::initializer_list<const char*> items,
                 const wxSize& size, const char* tip)
{
    wxChoice* choice = new wxChoice(parent, id, wxDefaultPosition, wxDefaultSize, Items(items));
    ApplyMinSize(choice, size);
    ApplyTip(choice, tip);
    return choice;
}

wxSpinCtrl* Spin(wxWindow* parent, int id, const char* text, int low, int high, int initial,
                 const wxSize& size, const char* tip)
{
    wxSpinCtrl* spin = new wxSpinCtrl(parent, id, Str(text), wxDefaultPosition, wxDefaultSize,
                                      wxSP_ARROW_KEYS, low, high, initial);
    ApplyMinSize(spin, size);
    ApplyTip(spin, tip);
    return spin;
}

wxSlider* Slider(wxWindow* parent, int id, int value, int low, int high, const wxSize& size,
                 bool ticks, const char* tip)
{
    wxSlider* slider = new wxSlider(parent, id, value, low, high, wxDefaultPosition, wxDefaultSize,
                                    wxSL_HORIZONTAL | (ticks ? wxSL_AUTOTICKS : 0));
    ApplyMinSize(slider, size);
    ApplyTip(slider, tip);
    return slider;
}

wxGauge* Gauge(wxWindow* parent, int id, int range)
{
    return new wxGauge(parent, id, range, wxDefaultPosition, wxDefaultSize, wxGA_HORIZONTAL | wxGA_SMOOTH);
}

wxStaticLine* Line(wxWindow* parent, const wxSize& size, bool vertical)
{
    wxStaticLine* line = new wxStaticLine(parent, ID_LINE, wxDefaultPosition, wxDefaultSize,
                                          vertical ? wxLI_VERTICAL : wxLI_HORIZONTAL);
    ApplyMinSize(line, size);
    return line;
}

wxSizer* Finish(wxWindow* parent, wxSizer* top, bool callFit, bool setSizer)
{
    if (setSizer) {
        parent->SetSizer(top);
        if (callFit)
            top->SetSizeHints(parent);
    }
    return top;
}

} // namespace LayoutKit
