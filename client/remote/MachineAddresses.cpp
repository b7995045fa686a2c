#include "client/remote/MachineAddresses.h"

using Zorlin::CString;

namespace {

bool InRange(IpV4Address address, IpV4Address network, int bits)
{
    const IpV4Address mask = bits == 0 ? 0 : ~IpV4Address(0) << (32 - bits);
    return (address & mask) == (network & mask);
}

IpV4Address Address(unsigned a, unsigned b, unsigned c, unsigned d)
{
    return IpV4Address(a << 24 | b << 16 | c << 8 | d);
}

} // namespace

SMachineAddresses ClassifyMachineAddresses(const std::vector<IpV4Address>& addresses)
{
    SMachineAddresses out;
    for (IpV4Address address : addresses) {
        // Nobody else reaches these.
        if (address == 0 || InRange(address, Address(127, 0, 0, 0), 8) || InRange(address, Address(169, 254, 0, 0), 16))
            continue;
        const bool local = InRange(address, Address(10, 0, 0, 0), 8) || InRange(address, Address(172, 16, 0, 0), 12) ||
                           InRange(address, Address(192, 168, 0, 0), 16);
        (local ? out.network : out.internet) = FormatAddress(address);
    }
    return out;
}

CString HostInformationText(const CString& port, const SMachineAddresses& addresses, const CString& hostName)
{
    CString text = CString("Server will be started on port ") + port + " - Click 'Start' to begin.\n\n";
    const CString internet = addresses.Best();
    if (!internet.IsEmpty())
        text += CString("Your internet IP is ") + internet + "\n";
    if (!addresses.network.IsEmpty())
        text += CString("Your network IP is ") + addresses.network + "\n";
    if (!hostName.IsEmpty())
        text += CString("Your machine name is ") + hostName + "\n";
    return text;
}

CString InvitationText(const CString& pattern, const CString& sender, const CString& address)
{
    CString text = pattern;
    // The address first: a name holding "[ip]" stays as the user wrote it.
    text.ReplaceAll("[ip]", address.GetText());
    text.ReplaceAll("[sender]", sender.GetText());
    return text;
}
