#pragma once

#include "foundation/String.h"

// What a web panel does with an address its browser is about to follow.
enum class ENavigation {
    Allow,       // let the browser load it
    OpenOutside, // hand it to the user's browser or mail program, load nothing
    RunCommands, // a command link: run its commands, load nothing
};

// Decides for one navigation. ownNavigation is the panel's flag that lets
// its own next load through; it is cleared when it is used.
ENavigation DecideNavigation(const Zorlin::CString& address, bool& ownNavigation);

// Addresses that belong outside the panel: web pages, files on servers and
// mail, whatever the case of the scheme.
bool IsOutsideAddress(const Zorlin::CString& address);
