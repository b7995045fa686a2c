#include "client/core/ModalLoops.h"

#include <dlfcn.h>
#include <algorithm>
#include <set>
#include <vector>

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/evtloop.h>
#include <wx/toplevel.h>

namespace {

// The desktop toolkit's message boxes run a loop of their own that the
// wx dialog knows nothing of; its functions are found in the running
// program, where the toolkit put them.
struct SNativeDialogs {
    using ListFn = void* (*)();
    using FreeFn = void (*)(void*);
    using BoolFn = int (*)(void*);
    using TypeFn = unsigned long (*)();
    using IsAFn = int (*)(void*, unsigned long);
    using RespondFn = void (*)(void*, int);
    ListFn listToplevels = nullptr;
    FreeFn freeList = nullptr;
    BoolFn isModal = nullptr;
    BoolFn isVisible = nullptr;
    TypeFn dialogType = nullptr;
    IsAFn isA = nullptr;
    RespondFn respond = nullptr;

    SNativeDialogs()
    {
        listToplevels = ListFn(dlsym(RTLD_DEFAULT, "gtk_window_list_toplevels"));
        freeList = FreeFn(dlsym(RTLD_DEFAULT, "g_list_free"));
        isModal = BoolFn(dlsym(RTLD_DEFAULT, "gtk_window_get_modal"));
        isVisible = BoolFn(dlsym(RTLD_DEFAULT, "gtk_widget_get_visible"));
        dialogType = TypeFn(dlsym(RTLD_DEFAULT, "gtk_dialog_get_type"));
        isA = IsAFn(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
        respond = RespondFn(dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
    }
    bool Usable() const
    {
        return listToplevels && freeList && isModal && isVisible && dialogType && isA && respond;
    }
};

struct SList {
    void* data;
    SList* next;
    SList* prev;
};

const int kResponseDeleteEvent = -4;

std::vector<CModalWork*>& Works()
{
    static std::vector<CModalWork*> works;
    return works;
}

// Calls act with each modal dialog of the desktop toolkit on the screen
// that is not in skip; the number met.
template <class F> int ForEachNativeDialog(const std::set<void*>& skip, F act)
{
    static SNativeDialogs native;
    if (!native.Usable())
        return 0;
    int met = 0;
    SList* list = static_cast<SList*>(native.listToplevels());
    for (SList* item = list; item; item = item->next) {
        void* window = item->data;
        if (!window || skip.count(window) || !native.isA(window, native.dialogType()) || !native.isModal(window) ||
            !native.isVisible(window))
            continue;
        act(native, window);
        ++met;
    }
    native.freeList(list);
    return met;
}

int EndNativeDialogs(const std::set<void*>& skip)
{
    return ForEachNativeDialog(skip, [](SNativeDialogs& native, void* window) {
        native.respond(window, kResponseDeleteEvent);
    });
}

} // namespace

CModalWork::CModalWork()
{
    Works().push_back(this);
}

CModalWork::~CModalWork()
{
    std::vector<CModalWork*>& works = Works();
    works.erase(std::remove(works.begin(), works.end(), this), works.end());
}

int StopModalWork()
{
    int stopped = 0;
    for (CModalWork* work : Works())
        if (!work->IsStopped()) {
            work->Stop();
            ++stopped;
        }
    return stopped;
}

int EndModalLoops()
{
    int ended = StopModalWork();
    std::set<void*> ours;
    wxWindowList windows = wxTopLevelWindows;
    for (wxWindow* window : windows) {
        wxDialog* dialog = dynamic_cast<wxDialog*>(window);
        if (!dialog)
            continue;
        if (dialog->IsModal()) {
            ours.insert(dialog->GetHandle());
            dialog->EndModal(dialog->GetEscapeId() == wxID_ANY ? wxID_CANCEL : dialog->GetEscapeId());
            ++ended;
        }
    }
    return ended + EndNativeDialogs(ours);
}

bool IsInNestedLoop()
{
    // A modal dialog of the toolkit runs a loop of its own; a yield runs
    // inside the work that called it. Before the main loop runs (the
    // start-up) any loop is one of those.
    wxEventLoopBase* active = wxEventLoopBase::GetActive();
    return active && (active->IsYielding() || (wxTheApp && active != wxTheApp->GetMainLoop()));
}

bool IsInModalState()
{
    if (!Works().empty() || wxWindow::GetCapture())
        return true;
    if (IsInNestedLoop())
        return true;
    for (wxWindow* window : wxTopLevelWindows) {
        wxDialog* dialog = dynamic_cast<wxDialog*>(window);
        if (dialog && dialog->IsModal())
            return true;
    }
    return ForEachNativeDialog(std::set<void*>(), [](SNativeDialogs&, void*) {}) > 0;
}
