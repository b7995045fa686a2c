#pragma once

// Which of this machine's addresses the host of a network game shows and
// puts in an invitation: the local-network one (10/8, 172.16/12,
// 192.168/16) and the internet one; the last of each kind listed wins.

#include <vector>

#include "client/core/ProfileArchive.h"
#include "foundation/String.h"

struct SMachineAddresses {
    Zorlin::CString network;
    Zorlin::CString internet;
    // The internet address, else the network one.
    Zorlin::CString Best() const { return internet.IsEmpty() ? network : internet; }
};

SMachineAddresses ClassifyMachineAddresses(const std::vector<IpV4Address>& addresses);

// The host dialog's information lines.
Zorlin::CString HostInformationText(const Zorlin::CString& port, const SMachineAddresses& addresses,
                                    const Zorlin::CString& hostName);

// The invitation mail's text: every "[sender]" and "[ip]" filled in.
Zorlin::CString InvitationText(const Zorlin::CString& pattern, const Zorlin::CString& sender,
                               const Zorlin::CString& address);
