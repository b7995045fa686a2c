#pragma once

// What the opponent search says to the server and to the matched client:
// search settings and requests, the match notice, the game proposal and
// the profile archive, and how the two clients agree on colours and clock.
// Bytes and tables only, so all of it is tested without a window.

#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>

#include "client/view/HtmlText.h"
#include "foundation/String.h"

namespace Zorlin {
class CBuffer;
class CConfig;
class CDrive;
class CFile;
}

// Keys lower-cased; values as sent.
using CSearchTable = std::map<std::string, std::string>;

struct SMatchTerms {
    int side = -1;  // the local player: 0 white, 1 black
    bool timed = false;
    int clock = 0;  // seconds per side, 0 untimed
};

namespace OnlineSearch {

// A timed game's clock lies within these, whoever proposed it.
const int kMinClock = 60;
const int kMaxClock = 5940;
// The peer's settings: more pairs than this are not read.
const int kMaxPairs = 64;
const int kMaxProfileSize = 65536;
const uint32_t kMaxPhotoSize = 1 << 20;

extern const char* const kSkillWords[5];

// Forwarded messages the search exchanges with the matched client.
enum EMessage : uint32_t { kProfileMessage = 2, kProposalMessage = 3, kBeginMessage = 4 };
// The protocol's name of a forwarded message type; "unknown" outside 0-20.
const char* MessageName(uint32_t type);
// Writes a little-endian u32.
bool WriteU32(Zorlin::CFile& out, uint32_t value);
bool ReadU32(Zorlin::CFile& in, uint32_t& value);

// Creates the missing keys of the frame "onlinesearch" with their defaults.
void SetDefaults(Zorlin::CConfig& user);
// Sets every key to the default (broad) search.
void SetDefaultSearch(Zorlin::CConfig& user);
// The frame "onlinesearch" as a table.
CSearchTable ReadOwnSearch(Zorlin::CConfig& user);
bool IsOn(const std::string& value);
// A yes/no setting of the user; fallback when it is not there.
bool IsSet(Zorlin::CConfig& user, const char* key, bool fallback);
// "white", "black", "white black"; empty for any other setting.
std::string SideWord(int side);

// The pktSet body sent before every search.
void WriteSettings(Zorlin::CFile& out, Zorlin::CConfig& user, uint32_t clientId);
// The search request, excluding excludeId when it is not 0.
void WriteRequest(Zorlin::CFile& out, uint32_t excludeId);
void WriteCancel(Zorlin::CFile& out);

// The next search's exclusion (the last opponent for three searches after
// a match, else 0), counted down.
uint32_t TakeExclusion(uint32_t lastOpponentId);
void OnMatched();
void ResetAvoidCounter();

// The match notice: the first flag and the peer's settings.
void ReadMatch(Zorlin::CFile& body, bool& first, CSearchTable& peer);

// Colours and clock from both searches; randomBit decides between two
// players who both accept either colour.
SMatchTerms NegotiateGame(const CSearchTable& own, const CSearchTable& peer, const std::function<int()>& randomBit);
// A seeded process-wide generator's next bit.
int RandomBit();
void SeedRandom(uint32_t seed);

// The proposal as the receiver reads it: Side is the receiver's colour.
void WriteProposal(Zorlin::CFile& out, const SMatchTerms& senderTerms);
// False (terms unchanged) for a proposal that names no colour 0 or 1;
// a timed clock is clamped to kMinClock..kMaxClock.
bool ReadProposal(Zorlin::CFile& body, SMatchTerms& terms);
// Why a proposal from the matched peer is refused, or null when it is
// taken: the client told it is first makes the proposal and takes none,
// and once our begin has gone the terms are settled.
const char* ProposalRefusal(bool first, bool begunSent);

// The profile archive "gridmoorprofile" of the user.
bool WriteProfile(Zorlin::CFile& out, Zorlin::CConfig& user, Zorlin::CDrive& userDrive);
// Reads a received profile archive: profile gets "profile.cfg", bmp the
// picture as a BMP file (the no-photo picture of programDrive when it has
// none). False when it is no profile archive.
bool ReadProfile(Zorlin::CFile& archive, Zorlin::CConfig& profile, Zorlin::CBuffer& bmp, Zorlin::CDrive& programDrive);
// Stores the profile and picture in the user's "opponents" folder under the
// profile's ID; false (nothing written) for an ID unfit for a file name.
bool StoreOpponent(const Zorlin::CConfig& profile, const Zorlin::CBuffer& bmp, Zorlin::CDrive& userDrive);

// The fields of the opponent pages, escaped.
void OpponentPageValues(const Zorlin::CConfig& profile, const SMatchTerms& terms, CHtmlVariables& out);
// Name cut to max characters with every "<...>" removed.
Zorlin::CString StripTags(const Zorlin::CString& text, int max);

} // namespace OnlineSearch
