#include "client/remote/OnlineSearchProtocol.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

#include "client/core/HtmlText.h"
#include "client/core/PhotoFit.h"
#include "client/core/ProfileArchive.h"
#include "client/remote/PacketHeader.h"
#include "foundation/ArchiveDrive.h"
#include "foundation/AutoPointer.h"
#include "foundation/Buffer.h"
#include "foundation/Config.h"
#include "foundation/Drive.h"
#include "foundation/File.h"
#include "foundation/Image.h"
#include "foundation/ImageCodecJpg.h"
#include "foundation/MemFile.h"
#include "foundation/URL.h"

using Zorlin::CArchiveDrive;
using Zorlin::CAutoPointer;
using Zorlin::CBuffer;
using Zorlin::CConfig;
using Zorlin::CDrive;
using Zorlin::CFile;
using Zorlin::CImage;
using Zorlin::CMemFile;
using Zorlin::CString;
using Zorlin::CURL;

namespace OnlineSearch {

const char* const kSkillWords[5] = {"beginner", "intermediate", "skilled", "advanced", "expert"};

namespace {

const char* const kDefaults[][2] = {
    {"untimed", "yes"},          {"timed", "yes"},         {"time.min", "no"},
    {"time.low", "60"},          {"time.max", "no"},       {"time.high", "3600"},
    {"skill.beginner", "yes"},   {"skill.intermediate", "yes"}, {"skill.skilled", "yes"},
    {"skill.advanced", "yes"},   {"skill.expert", "yes"},  {"side", "2"},
};

uint32_t g_avoidCounter = 0;

std::string Lower(const CString& text)
{
    std::string out(text.GetText());
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string Value(const CSearchTable& table, const char* key)
{
    auto found = table.find(key);
    return found == table.end() ? std::string() : found->second;
}

// Numbers of a match come from the peer: kept within what a setting can
// mean, so that no sum or difference of two of them overflows.
const long kMaxSettingNumber = 1000000;

long Number(const CSearchTable& table, const char* key)
{
    const long value = std::strtol(Value(table, key).c_str(), nullptr, 10);
    return std::min(std::max(value, 0L), kMaxSettingNumber);
}

bool Contains(const std::string& text, const char* word)
{
    return text.find(word) != std::string::npos;
}

void Line(CFile& out, const char* text)
{
    WireText::WriteLine(out, CString(text));
}

std::mt19937& Generator()
{
    static std::mt19937 generator([] {
        std::random_device device;
        return uint32_t(device()) ^ uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
    }());
    return generator;
}

bool ReadBounded(CFile& file, uint32_t limit, CBuffer& out)
{
    const uint32_t size = file.GetSize32();
    if (size == 0xFFFFFFFFu || size > limit)
        return false;
    out.Resize(int(size));
    return size == 0 || file.Read(out.GetData(), size);
}

bool LoadPicture(CArchiveDrive& archive, const char* name, CImage& image)
{
    CAutoPointer<CFile> entry = archive.OpenFile(CURL(name), CFile::kModeRead);
    if (!entry || !entry->IsOpen() || entry->IsNull() || entry->GetSize() > kMaxPhotoSize)
        return false;
    return LoadReceivedPicture(*entry, image);
}

} // namespace

const char* MessageName(uint32_t type)
{
    static const char* const kNames[] = {
        "chpktNull",         "chpktProtocol",       "chpktProfile",     "chpktGameProposal", "chpktBeginGame",
        "chpktResume",       "chpktMove",           "chpktRequestTakeback", "chpktTakeback", "chpktRequestDraw",
        "chpktDraw",         "chpktResign",         "chpktRequestReset", "chpktReset",       "chpktTimeUp",
        "chpktResult",       "chpktBeginTyping",    "chpktEndTyping",   "chpktStartClock",   "chpktAlert",
        "chpktIgnore"};
    return type < sizeof(kNames) / sizeof(kNames[0]) ? kNames[type] : "unknown";
}

bool WriteU32(CFile& out, uint32_t value)
{
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return out.Write(bytes, 4);
}

bool ReadU32(CFile& in, uint32_t& value)
{
    unsigned char bytes[4];
    if (!in.Read(bytes, 4))
        return false;
    value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    return true;
}

bool IsOn(const std::string& value)
{
    const std::string lower = Lower(CString(value.c_str()));
    return lower == "true" || lower == "yes";
}

bool IsSet(CConfig& user, const char* key, bool fallback)
{
    return user.KeyExists(key) ? IsOn(user.GetValueOr(key, "").GetText()) : fallback;
}

std::string SideWord(int side)
{
    switch (side) {
    case 0:
        return "white";
    case 1:
        return "black";
    case 2:
        return "white black";
    default:
        return std::string();
    }
}

void SetDefaults(CConfig& user)
{
    for (const auto& pair : kDefaults) {
        const CString key = CString(".onlinesearch.") + pair[0];
        if (!user.KeyExists(key))
            user.GetValue(key) = pair[1];
    }
}

void SetDefaultSearch(CConfig& user)
{
    for (const auto& pair : kDefaults)
        user.GetValue(CString(".onlinesearch.") + pair[0]) = pair[1];
}

CSearchTable ReadOwnSearch(CConfig& user)
{
    CSearchTable table;
    for (const auto& pair : kDefaults)
        table[pair[0]] = user.GetValueOr((CString(".onlinesearch.") + pair[0]).GetText(), "").GetText();
    return table;
}

void WriteSettings(CFile& out, CConfig& user, uint32_t clientId)
{
    const CSearchTable own = ReadOwnSearch(user);
    Line(out, "begin");
    Line(out, "rw.untimed");
    Line(out, Value(own, "untimed").c_str());
    Line(out, "rw.timed");
    Line(out, Value(own, "timed").c_str());
    Line(out, "rw.time.min");
    Line(out, Value(own, "time.min").c_str());
    Line(out, "rw.time.max");
    Line(out, Value(own, "time.max").c_str());
    Line(out, "rw.time.low");
    Line(out, IsOn(Value(own, "time.min")) ? Value(own, "time.low").c_str() : "60");
    Line(out, "rw.time.high");
    Line(out, IsOn(Value(own, "time.max")) ? Value(own, "time.high").c_str() : "5940");
    Line(out, "rw.skill");
    long skill = std::strtol(user.GetValueOr(".preferences.online.skill", "0").GetText(), nullptr, 10);
    if (skill < 0 || skill > 4)
        skill = 4;
    Line(out, kSkillWords[skill]);
    const std::string sideText = Value(own, "side");
    const int side = sideText.empty() ? 0 : int(std::strtol(sideText.c_str(), nullptr, 10));
    if (side >= 0 && side <= 2) {
        Line(out, "rw.side");
        Line(out, SideWord(side).c_str());
    }
    Line(out, "id");
    CString id;
    id.AppendFormat("%u", unsigned(clientId));
    WireText::WriteLine(out, id);
}

void WriteRequest(CFile& out, uint32_t excludeId)
{
    Line(out, "id=search1");
    Line(out, "ttl=60");
    Line(out, "begin");
    if (excludeId != 0) {
        CString exclude;
        exclude.AppendFormat("id != %u", unsigned(excludeId));
        WireText::WriteLine(out, exclude);
    }
}

void WriteCancel(CFile& out)
{
    Line(out, "id=search1");
    Line(out, "cancel");
}

uint32_t TakeExclusion(uint32_t lastOpponentId)
{
    if (g_avoidCounter == 0 || lastOpponentId == 0)
        return 0;
    --g_avoidCounter;
    return lastOpponentId;
}

void OnMatched()
{
    g_avoidCounter = 3;
}

void ResetAvoidCounter()
{
    g_avoidCounter = 0;
}

void ReadMatch(CFile& body, bool& first, CSearchTable& peer)
{
    first = false;
    peer.clear();
    CString line;
    while (WireText::ReadLine(body, line)) {
        if (Lower(line) == "begin")
            break;
        int at = 0;
        if (!line.Find('=', &at))
            continue;
        // Mid takes the last index, not the end.
        const std::string name = at > 0 ? Lower(line.Mid(0, at - 1)) : std::string();
        if (name == "first")
            first = IsOn(line.Mid(at + 1).GetText());
    }
    CString key, value;
    while (int(peer.size()) < kMaxPairs && WireText::ReadLine(body, key) && WireText::ReadLine(body, value))
        peer[Lower(key)] = value.GetText();
}

SMatchTerms NegotiateGame(const CSearchTable& own, const CSearchTable& peer, const std::function<int()>& randomBit)
{
    SMatchTerms terms;
    // Read whole before narrowing: a huge number is no side at all.
    const long side = std::strtol(Value(own, "side").c_str(), nullptr, 10);
    const std::string mine = SideWord(side >= 0 && side <= 2 ? int(side) : -1);
    const std::string theirs = Lower(CString(Value(peer, "rw.side").c_str()));
    const auto single = [](const std::string& s) { return !(Contains(s, "white") && Contains(s, "black")); };
    bool black;
    if (single(mine))
        black = !Contains(mine, "white");
    else if (!single(theirs))
        black = (randomBit() & 1) != 0;
    else
        black = Contains(theirs, "white");
    terms.side = black ? 1 : 0;

    bool untimed = IsOn(Value(own, "untimed")) && !IsOn(Value(own, "timed"));
    if (!untimed)
        untimed = IsOn(Value(peer, "rw.untimed")) && !IsOn(Value(peer, "rw.timed"));
    terms.timed = !untimed;
    if (!terms.timed)
        return terms;

    const bool ownMin = IsOn(Value(own, "time.min")), peerMin = IsOn(Value(peer, "rw.time.min"));
    const bool ownMax = IsOn(Value(own, "time.max")), peerMax = IsOn(Value(peer, "rw.time.max"));
    const long ownLow = Number(own, "time.low"), peerLow = Number(peer, "rw.time.low");
    const long ownHigh = Number(own, "time.high"), peerHigh = Number(peer, "rw.time.high");
    const bool hasLow = ownMin || peerMin, hasHigh = ownMax || peerMax;
    const long low = ownMin && peerMin ? std::max(ownLow, peerLow) : ownMin ? ownLow : peerLow;
    const long high = ownMax && peerMax ? std::min(ownHigh, peerHigh) : ownMax ? ownHigh : peerHigh;
    long clock;
    if (!hasLow)
        clock = !hasHigh || high >= 901 ? 900 : high;
    else if (!hasHigh)
        clock = std::max(low, 900L);
    else if (low <= 900 && 900 <= high)
        clock = 900;
    else {
        const long mid = low + (high - low) / 2;
        long t = mid / 60 * 60;
        const long t5 = t / 300 * 300;
        if (low < t5 && t5 < high)
            t = t5;
        clock = std::max(t, 60L);
    }
    // Bounds from the peer are its word; the clock stays within what a
    // settings dialog can ask for.
    terms.clock = int(std::min(std::max(clock, long(kMinClock)), long(kMaxClock)));
    return terms;
}

int RandomBit()
{
    return int(Generator()() & 1);
}

void SeedRandom(uint32_t seed)
{
    Generator().seed(seed);
}

void WriteProposal(CFile& out, const SMatchTerms& senderTerms)
{
    CConfig proposal;
    proposal.GetValue("Side") = senderTerms.side == 0 ? "1" : "0";
    proposal.GetValue("timed") = senderTerms.timed ? "yes" : "no";
    CString clock;
    clock.AppendFormat("%i", senderTerms.clock);
    proposal.GetValue("clock") = clock;
    proposal.Write(out, true);
}

bool ReadProposal(CFile& body, SMatchTerms& terms)
{
    CString text;
    WireText::ReadRest(body, text, kMaxProfileSize);
    CConfig proposal;
    if (!proposal.ReadText(text.GetText(), text.GetLength()))
        return false;
    CString side = proposal.GetValueOr("Side", "0");
    side.Trim();
    if (side != "0" && side != "1")
        return false;
    SMatchTerms read;
    read.side = side == "1" ? 1 : 0;
    read.timed = IsOn(proposal.GetValueOr("timed", "").GetText());
    const long clock = std::strtol(proposal.GetValueOr("clock", "0").GetText(), nullptr, 10);
    read.clock = read.timed ? int(std::min(std::max(clock, long(kMinClock)), long(kMaxClock))) : 0;
    terms = read;
    return true;
}

const char* ProposalRefusal(bool first, bool begunSent)
{
    if (first)
        return "we are the proposer";
    if (begunSent)
        return "the game's terms are settled";
    return nullptr;
}

CString StripTags(const CString& text, int max)
{
    CString out;
    int depth = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        const char c = text[i];
        if (c == '<')
            ++depth;
        else if (c == '>' && depth > 0)
            --depth;
        else if (depth == 0)
            out += c;
    }
    if (out.GetLength() > max)
        out.Truncate(max);
    return out;
}

namespace {

CString Cut(const CString& text, int max)
{
    CString out = text;
    if (out.GetLength() > max)
        out.Truncate(max);
    return out;
}

bool AddEntry(CArchiveDrive& archive, CFile& source, const char* name)
{
    return source.Seek(0, CFile::kSeekStart) && archive.AddFile(source, name, true);
}

} // namespace

bool WriteProfile(CFile& out, CConfig& user, CDrive& userDrive)
{
    CArchiveDrive archive;
    if (!archive.Create(&out, "gridmoorprofile", false, 8192))
        return false;
    CConfig profile;
    profile.GetValue("name") = StripTags(user.GetValueOr(".Profile.name", ""), 50);
    profile.GetValue("nickname") = StripTags(user.GetValueOr(".Profile.nickname", ""), 50);
    if (IsSet(user, ".preferences.online.sendemail", false))
        profile.GetValue("email") = Cut(user.GetValueOr(".Profile.email", ""), 100);
    profile.GetValue("otherinformation") = Cut(user.GetValueOr(".Profile.otherinformation", ""), 1000);
    profile.GetValue("ID") = user.GetValueOr(".Profile.ID", "");
    profile.GetValue("location") = user.GetValueOr(".preferences.online.location", "");
    profile.GetValue("skill") = user.GetValueOr(".preferences.online.skill", "0");
    CMemFile text;
    text.Open(CString("profile.cfg"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
    if (!profile.Write(text, true) || !AddEntry(archive, text, "profile.cfg"))
        return false;

    if (IsSet(user, ".preferences.online.sendphoto", true) &&
        IsOn(user.GetValueOr(".supplied photo", "").GetText())) {
        // Sent as the 96 x 72 photo it is shown as, whatever size the file is.
        CAutoPointer<CFile> photo = userDrive.OpenFile(CURL("photo.bmp"), CFile::kModeRead);
        CImage picture, image;
        if (photo && photo->IsOpen() && !photo->IsNull() && LoadReceivedPicture(*photo, picture) &&
            MakeProfilePhoto(picture, image)) {
            CMemFile jpeg;
            jpeg.Open(CString("photo.jpg"), CFile::kModeRead | CFile::kModeWrite | CFile::kModeCreate);
            Zorlin::CImageCodecJpg codec(65);
            if (image.Save(jpeg, codec) == 0)
                AddEntry(archive, jpeg, "photo.jpg");
        }
    }
    return archive.Finish(false);
}

bool ReadProfile(CFile& file, CConfig& profile, CBuffer& bmp, CDrive& programDrive)
{
    if (!file.IsOpen() || !file.Seek(0, CFile::kSeekStart))
        return false;
    CArchiveDrive archive;
    if (!archive.Open(&file, "gridmoorprofile", false))
        return false;
    CAutoPointer<CFile> entry = archive.OpenFile(CURL("profile.cfg"), CFile::kModeRead);
    if (!entry || !entry->IsOpen() || entry->IsNull() || entry->GetSize() > uint32_t(kMaxProfileSize))
        return false;
    CConfig read;
    if (!read.Read(*entry))
        return false;
    entry.Reset();
    CutProfileTexts(read);
    profile = read;

    CImage picture;
    if (!LoadPicture(archive, "photo.jpg", picture))
        LoadPicture(archive, "photo.bmp", picture);
    bmp.Resize(0);
    // Kept and shown only as the 96 x 72 photo.
    CImage photo;
    if (picture.HasPixels() && MakeProfilePhoto(picture, photo))
        SaveBmpBytes(photo, bmp);
    if (bmp.GetSize() <= 0) {
        CAutoPointer<CFile> none = programDrive.OpenFile(CURL("/assets/images/misc/nophoto.bmp"), CFile::kModeRead);
        if (none && none->IsOpen() && !none->IsNull())
            ReadBounded(*none, kMaxPhotoSize * 4, bmp);
    }
    return true;
}

bool StoreOpponent(const CConfig& profile, const CBuffer& bmp, CDrive& userDrive)
{
    CString id = profile.GetValueOr("ID", "");
    id.Trim();
    if (!IsProfileId(id))
        return false;
    CConfig stored;
    profile.ForEachValue([&](const CString& key, const CString& value) {
        stored.GetValue(CString("Profile.") + key) = value;
    });
    userDrive.MakeDirectory(CURL("/opponents"));
    if (!stored.Write(userDrive, CURL(CString("/opponents/") + id + ".cfg"), true))
        return false;
    if (bmp.GetSize() > 0) {
        CAutoPointer<CFile> out = userDrive.OpenFile(CURL(CString("/opponents/") + id + ".bmp"),
                                                     CFile::kModeWrite | CFile::kModeCreate);
        if (out && out->IsOpen())
            out->Write(bmp.GetData(), unsigned(bmp.GetSize()));
    }
    return true;
}

void OpponentPageValues(const CConfig& profile, const SMatchTerms& terms, CHtmlVariables& out)
{
    static const char* const kWords[5] = {"Beginner", "Intermediate", "Skilled", "Advanced", "Expert"};
    long skill = std::strtol(profile.GetValueOr("skill", "0").GetText(), nullptr, 10);
    skill = std::min(std::max(skill, 0L), 4L);
    out["name"] = EscapeHtml(profile.GetValueOr("name", ""));
    out["location"] = EscapeHtml(profile.GetValueOr("location", ""));
    out["experience"] = EscapeHtml(kWords[skill]);
    CString game;
    if (terms.timed)
        game.AppendFormat("<B>%i</B> minute game. ", terms.clock / 60);
    else
        game = "No clock. ";
    game += terms.side == 0 ? "You will be playing <B>white.</B>" : "You will be playing <B>black.</B>";
    out["game"] = game;
}

} // namespace OnlineSearch
