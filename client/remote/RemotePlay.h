#pragma once

// Remote play plugs into the client here: the menu commands, the transport
// files and the online session. Called once by the program at start-up.
void InstallRemotePlay();

// Each kind of remote play installs its own part.
void InstallEmailPlay();
void InstallNetworkPlay();
void InstallOnlinePlay();
