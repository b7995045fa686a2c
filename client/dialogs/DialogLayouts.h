#pragma once

// One function per window: it creates the window's controls with their fixed
// ids (client/dialogs/DialogIds.h) as children of parent, arranges them in
// sizers and returns the top sizer. With setSizer the sizer is installed on
// parent, and with callFit as well parent's minimum size becomes the size the
// sizer needs; without setSizer the caller owns the sizer and callFit is
// ignored. Windows the dialog makes itself (photos, HTML views, globes) must
// exist as children of parent with their agreed id before the call.

class wxSizer;
class wxWindow;

// Local play.
wxSizer* PromotionLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* EnterMoveLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* GameOverLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* GameOverPageLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* NewAIGameLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* PgnViewerLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);

// Profile, messages and about.
wxSizer* ProfileLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* ProfileIntroLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* HtmlMessageLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* HtmlMessageBareLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* AboutLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* ChatLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);

// Preferences: the frame builds the notebook (10092) with the six pages in
// the order Voice, Board, Music, Browser, Updates, Performance, and the
// dialog-wide buttons below it.
wxSizer* PreferencesLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* VoicePageLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* BoardPageLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* MusicPageLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* BrowserPageLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* UpdatesPageLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* PerformancePageLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* SelectVoiceLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);

// E-mail play.
wxSizer* EmailGameLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* SendEmailLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* SendOrSaveLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* EmailInvitationLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);

// Network play.
wxSizer* JoinNetworkGameLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* StartNetworkGameLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* OpponentsLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);

// Online play.
wxSizer* OnlineSearchLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* OnlineSearchSettingsLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* OnlinePreferencesLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* SendChallengeLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);
wxSizer* NewPlayerAlertLayout(wxWindow* parent, bool callFit = true, bool setSizer = true);

// The maker's web pages behind the "more voices" and "more engines" buttons.
extern const char* const kMoreVoicesAddress;
extern const char* const kMoreEnginesAddress;
