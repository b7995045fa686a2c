// The toolkit's message box under Xvfb with a text from another machine: a
// 65,000-character sender in a question. Through the prompt the box, and so
// its Yes and No, stays on the screen; the same text given to the toolkit
// as it stands makes a box wider than the screen.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <functional>
#include <string>

#include <wx/display.h>
#include <wx/msgdlg.h>
#include <wx/timer.h>

#include "client/core/Prompt.h"
#include "client/core/WxText.h"
#include "client/dialogs/tests/support/GuiTest.h"

using Zorlin::CString;

namespace {

// The desktop toolkit's own message box is no wx window: it is found and
// measured through the toolkit's functions in the running program.
struct SNative {
    using ListFn = void* (*)();
    using FreeFn = void (*)(void*);
    using BoolFn = int (*)(void*);
    using TypeFn = unsigned long (*)();
    using IsAFn = int (*)(void*, unsigned long);
    using RespondFn = void (*)(void*, int);
    using SizeFn = void (*)(void*, int*, int*);
    ListFn list = reinterpret_cast<ListFn>(dlsym(RTLD_DEFAULT, "gtk_window_list_toplevels"));
    FreeFn freeList = reinterpret_cast<FreeFn>(dlsym(RTLD_DEFAULT, "g_list_free"));
    BoolFn mapped = reinterpret_cast<BoolFn>(dlsym(RTLD_DEFAULT, "gtk_widget_get_mapped"));
    TypeFn messageType = reinterpret_cast<TypeFn>(dlsym(RTLD_DEFAULT, "gtk_message_dialog_get_type"));
    IsAFn isA = reinterpret_cast<IsAFn>(dlsym(RTLD_DEFAULT, "g_type_check_instance_is_a"));
    RespondFn respond = reinterpret_cast<RespondFn>(dlsym(RTLD_DEFAULT, "gtk_dialog_response"));
    SizeFn size = reinterpret_cast<SizeFn>(dlsym(RTLD_DEFAULT, "gtk_window_get_size"));
    SizeFn position = reinterpret_cast<SizeFn>(dlsym(RTLD_DEFAULT, "gtk_window_get_position"));

    bool Usable() const { return list && freeList && mapped && messageType && isA && respond && size && position; }

    // The message box on the screen, or null.
    void* FindShown() const
    {
        struct SList {
            void* data;
            SList* next;
            SList* prev;
        };
        void* found = nullptr;
        SList* windows = static_cast<SList*>(list());
        for (SList* item = windows; item; item = item->next)
            if (item->data && isA(item->data, messageType()) && mapped(item->data))
                found = item->data;
        freeList(windows);
        return found;
    }
};

const int kResponseYes = -8;
const int kResponseDeleteEvent = -4;

struct SBox {
    bool found = false;
    int x = 0, y = 0, width = 0, height = 0;
};

// Shows a box with show(), measures it once the toolkit has put it on the
// screen and answers Yes; the box's answer comes back in answer.
SBox MeasureBox(const std::function<int()>& show, int& answer)
{
    static SNative native;
    SBox box;
    int ticks = 0;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        void* window = native.FindShown();
        int width = 0, height = 0;
        if (window)
            native.size(window, &width, &height);
        // Waited for: a box that is mapped and has its size.
        if (window && width > 1 && height > 1) {
            box.found = true;
            box.width = width;
            box.height = height;
            native.position(window, &box.x, &box.y);
            timer.Stop();
            native.respond(window, kResponseYes);
        } else if (++ticks > 3000) {
            // Never shown: the test fails rather than hanging.
            timer.Stop();
            if (window)
                native.respond(window, kResponseDeleteEvent);
        }
    });
    timer.Start(10);
    answer = show();
    timer.Stop();
    return box;
}

} // namespace

TEST(MessageBoxFit, AHugeWordInAQuestionKeepsTheBoxAndItsButtonsOnTheScreen)
{
    GUI_TEST_START();
    static SNative native;
    if (!native.Usable())
        GTEST_SKIP() << "the toolkit's functions are not in this program";
    const wxRect screen = wxDisplay(0u).GetGeometry();
    const std::string sender(65000, 'x');
    const std::string text = "You have received an invitation from " + sender +
                             " to join a network game.\n\nAdd it to your list of opponents?";
    CWxPrompt prompt;
    int answer = 0;
    const SBox fitted = MeasureBox(
        [&] { return prompt.ShowMessage(CString(text.c_str()), CString(sender.c_str()), wxYES_NO | wxICON_QUESTION,
                                        nullptr); },
        answer);
    ASSERT_TRUE(fitted.found) << "the box never showed";
    EXPECT_EQ(answer, wxYES) << "Yes answered the box";
    EXPECT_LE(fitted.width, screen.width);
    EXPECT_LE(fitted.height, screen.height);
    EXPECT_GE(fitted.x, screen.x);
    EXPECT_GE(fitted.y, screen.y);
    EXPECT_LE(fitted.x + fitted.width, screen.x + screen.width);
    EXPECT_LE(fitted.y + fitted.height, screen.y + screen.height);

    // What the prompt prevents: the toolkit's box with the text as it stands.
    const SBox raw = MeasureBox(
        [&] { return wxMessageBox(ToWx(CString(text.c_str())), "Invitation", wxYES_NO, nullptr); }, answer);
    ASSERT_TRUE(raw.found);
    EXPECT_GT(raw.width, screen.width) << "the unfitted box fits: this test would not see a fault";
}
