#pragma once

// Whose folders a start writes into, decided once from what the
// environment names and what the disk holds. Only folders of the account
// that runs, which no other account can write or rename, are used: a HOME
// or XDG folder of another account (left by sudo -E or su) gives way to
// the account's own home from the password database, and so does a data
// folder that another account made or may change.

#include <string>
#include <vector>

#include "foundation/String.h"

// What the decision is made from: the environment's values as they are
// (empty when unset) and the account's entry in the password database.
struct SAccountFacts {
    Zorlin::CString home;
    Zorlin::CString configHome;
    Zorlin::CString dataHome;
    Zorlin::CString accountHome;
    unsigned uid = 0;
    // The account's own group (a group of its name, no other member) may
    // write its folders; -1 when it has none.
    long privateGroup = -1;
};

struct SAccountPlaces {
    // The home everything written below it goes to; empty when none is the account's.
    Zorlin::CString home;
    // Where the desktop's settings file goes; empty when nowhere.
    Zorlin::CString configFolder;
    // The user's data folder (".../rookwell"); empty when no usable one.
    Zorlin::CString dataFolder;
    // Why a folder the environment names is passed over, one line each, for the log.
    std::vector<Zorlin::CString> notes;
    // Why there is no data folder, when there is none.
    Zorlin::CString problem;
};

// The decision; it looks at the folders on disk but changes nothing.
SAccountPlaces DecideAccountPlaces(const SAccountFacts& facts);

// The facts of this process.
SAccountFacts AccountFactsOfThisProcess();

// The decision for this process, made once for the same facts: the
// start-up, the lock and the settings all use it.
SAccountPlaces AccountPlaces();

// Makes the environment name the decided places for the libraries and the
// programs this one starts: HOME, and no XDG base folder of another account.
// An X authority taken from the old home stays named. False when nothing changed.
bool PointEnvironmentAtAccountPlaces(const SAccountPlaces& places);
