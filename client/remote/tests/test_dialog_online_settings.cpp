// The online preferences and the search settings dialogs over a user's
// settings: what they show of stored values, what OK writes, the limits
// kept in order, at least one experience level, and the default search
// only when the user says yes.
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobox.h>
#include <wx/spinctrl.h>

#include "client/core/Prompt.h"
#include "client/dialogs/tests/support/GuiTest.h"
#include "client/remote/OnlinePreferencesDialog.h"
#include "client/remote/OnlineSearchProtocol.h"
#include "client/remote/OnlineSearchSettingsDialog.h"
#include "client/remote/tests/support/RemoteFixture.h"

using namespace RemoteTest;
using Zorlin::CConfig;

namespace {

class OnlineSettingsDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!GuiTest::Start())
            GTEST_SKIP() << "no X display for GUI tests";
        m_services.reset(new CTestServices());
        WriteWholeFile(m_services->m_programFolder + "/assets/txt/countries.txt", "Chile\r\nPeru\n\nNorway\n");
        m_prompt.Install();
    }
    CConfig& User() { return m_services->m_userSettings; }
    std::string Value(const char* key) { return User().GetValueOr(key, "").GetText(); }

    std::unique_ptr<CTestServices> m_services;
    CScriptedPrompt m_prompt;
};

void Spin(wxWindow* dialog, int id, int value)
{
    wxSpinCtrl* spin = GuiTest::Find<wxSpinCtrl>(dialog, id);
    spin->SetValue(value);
    wxSpinEvent event(wxEVT_SPINCTRL, id);
    event.SetEventObject(spin);
    event.SetPosition(value);
    spin->GetEventHandler()->ProcessEvent(event);
}

void Radio(wxWindow* dialog, int id, int choice)
{
    wxRadioBox* box = GuiTest::Find<wxRadioBox>(dialog, id);
    box->SetSelection(choice);
    wxCommandEvent event(wxEVT_RADIOBOX, id);
    event.SetEventObject(box);
    event.SetInt(choice);
    box->GetEventHandler()->ProcessEvent(event);
}

} // namespace

TEST_F(OnlineSettingsDialogs, PreferencesShowAndWriteTheUsersChoices)
{
    User().GetValue(".preferences.online.location") = "Atlantis";
    User().GetValue(".preferences.online.sendemail") = "YES";
    User().GetValue(".preferences.online.skill") = "3";
    {
        COnlinePreferencesDialog dialog(nullptr);
        EXPECT_EQ(dialog.GetTitle(), "Gridmoor Preferences");
        wxChoice* countries = GuiTest::Find<wxChoice>(&dialog, 10184);
        ASSERT_EQ(countries->GetCount(), 4u);
        EXPECT_EQ(countries->GetString(0), "No comment");
        EXPECT_EQ(countries->GetString(3), "Norway");
        // A location not in the list selects nothing.
        EXPECT_EQ(countries->GetSelection(), wxNOT_FOUND);
        EXPECT_EQ(GuiTest::Find<wxChoice>(&dialog, 10185)->GetSelection(), 3);
        EXPECT_TRUE(GuiTest::Find<wxCheckBox>(&dialog, 10187)->GetValue());
        EXPECT_TRUE(GuiTest::Find<wxCheckBox>(&dialog, 10186)->GetValue()) << "send photo by default";
        EXPECT_EQ(GuiTest::RunModal(dialog, [&] { GuiTest::Click(&dialog, 10156); }), 0);
        EXPECT_EQ(Value(".preferences.online.location"), "Atlantis") << "Cancel writes nothing";
    }
    {
        COnlinePreferencesDialog dialog(nullptr);
        const int result = GuiTest::RunModal(dialog, [&] {
            GuiTest::Find<wxChoice>(&dialog, 10184)->SetSelection(2);
            GuiTest::Toggle(&dialog, 10188, false);
            GuiTest::Click(&dialog, 10190);
        });
        EXPECT_EQ(result, 1);
    }
    EXPECT_EQ(Value(".preferences.online.location"), "Peru");
    EXPECT_EQ(Value(".preferences.online.skill"), "3");
    EXPECT_EQ(Value(".preferences.online.sendemail"), "yes");
    EXPECT_EQ(Value(".preferences.online.storeopponents"), "no");
    {
        User().GetValue(".preferences.online.location") = "";
        COnlinePreferencesDialog dialog(nullptr);
        EXPECT_EQ(GuiTest::Find<wxChoice>(&dialog, 10184)->GetSelection(), 0) << "empty reads as No comment";
    }
}

TEST_F(OnlineSettingsDialogs, SearchSettingsKeepLimitsInOrderAndALevel)
{
    COnlineSearchSettingsDialog dialog(nullptr);
    // A fresh user gets the broad search.
    EXPECT_EQ(Value(".onlinesearch.side"), "2");
    EXPECT_EQ(Value(".onlinesearch.time.high"), "3600");

    // Untimed only disables every limit; timed again enables what is checked.
    Radio(&dialog, 10169, 0);
    for (int id : {10170, 10171, 10172, 10173, 10174, 10175})
        EXPECT_FALSE(dialog.FindWindow(id)->IsEnabled()) << id;
    GuiTest::Toggle(&dialog, 10170, true);
    Radio(&dialog, 10169, 1);
    EXPECT_TRUE(dialog.FindWindow(10170)->IsEnabled());
    EXPECT_TRUE(dialog.FindWindow(10171)->IsEnabled());
    EXPECT_TRUE(dialog.FindWindow(10173)->IsEnabled());
    EXPECT_FALSE(dialog.FindWindow(10174)->IsEnabled());

    // The low limit pushes the high one up, and the other way round.
    Spin(&dialog, 10174, 20);
    Spin(&dialog, 10171, 30);
    EXPECT_EQ(GuiTest::Find<wxSpinCtrl>(&dialog, 10174)->GetValue(), 30);
    Spin(&dialog, 10174, 10);
    EXPECT_EQ(GuiTest::Find<wxSpinCtrl>(&dialog, 10171)->GetValue(), 10);

    // The last level cannot be unchecked.
    for (int id = 10176; id <= 10179; ++id)
        GuiTest::Toggle(&dialog, id, false);
    EXPECT_EQ(m_prompt.GetCount(), 0);
    m_prompt.QueueButton(wxOK);
    GuiTest::Toggle(&dialog, 10180, false);
    EXPECT_EQ(m_prompt.CountText("Please check at least one experience level."), 1);
    EXPECT_TRUE(GuiTest::Find<wxCheckBox>(&dialog, 10180)->GetValue());

    // No to the default search changes nothing.
    m_prompt.QueueButton(wxNO);
    GuiTest::Click(&dialog, 10166);
    EXPECT_EQ(GuiTest::Find<wxRadioBox>(&dialog, 10169)->GetSelection(), 1);

    const int result = GuiTest::RunModal(dialog, [&] {
        GuiTest::Find<wxSpinCtrl>(&dialog, 10171)->SetValue(30);
        GuiTest::Find<wxSpinCtrl>(&dialog, 10174)->SetValue(10);
        Radio(&dialog, 10183, 1);
        GuiTest::Click(&dialog, 10167);
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Value(".onlinesearch.time.low"), "600");
    EXPECT_EQ(Value(".onlinesearch.time.high"), "1800");
    EXPECT_EQ(Value(".onlinesearch.timed"), "yes");
    EXPECT_EQ(Value(".onlinesearch.untimed"), "no");
    EXPECT_EQ(Value(".onlinesearch.time.min"), "yes");
    EXPECT_EQ(Value(".onlinesearch.skill.beginner"), "no");
    EXPECT_EQ(Value(".onlinesearch.skill.expert"), "yes");
    EXPECT_EQ(Value(".onlinesearch.side"), "1");

    // Yes to the default search sets the broad search in the controls.
    COnlineSearchSettingsDialog again(nullptr);
    EXPECT_EQ(GuiTest::Find<wxSpinCtrl>(&again, 10171)->GetValue(), 10);
    m_prompt.QueueButton(wxYES);
    GuiTest::Click(&again, 10166);
    EXPECT_EQ(GuiTest::Find<wxRadioBox>(&again, 10169)->GetSelection(), 2);
    EXPECT_EQ(GuiTest::Find<wxSpinCtrl>(&again, 10174)->GetValue(), 60);
    EXPECT_TRUE(GuiTest::Find<wxCheckBox>(&again, 10176)->GetValue());
    EXPECT_EQ(Value(".onlinesearch.side"), "1") << "nothing written before OK";
}
