#pragma once

// What an online game needs of the session that carries it: sending whole
// packets, one write for several, closing the connection, the new-player
// notice, the log, and being the session's listener while it is the game.

#include <cstdint>

#include "foundation/Buffer.h"
#include "foundation/String.h"

class CGridmoorGame;

class CGridmoorLink {
public:
    virtual ~CGridmoorLink() = default;

    virtual bool IsConnected() = 0;
    // One packet (header and body); false when it did not go out.
    virtual bool Send(const Zorlin::CBuffer& payload) = 0;
    // Packets sent between these leave in one write.
    virtual void BeginBatch() = 0;
    virtual void EndBatch() = 0;
    virtual void Close() = 0;
    virtual void ArmPlayerNotify(bool arm) = 0;
    virtual bool IsNotifyArmed() = 0;
    virtual void Log(const Zorlin::CString& line) = 0;
    // The opponent the next searches keep away from for a while.
    virtual void SetLastOpponent(uint32_t id) = 0;
    // Makes game the session's listener, deleting the one before; null puts
    // the session's default listener back if game's is still the one.
    virtual void Listen(CGridmoorGame* game) = 0;
    virtual void StopListening(CGridmoorGame* game) = 0;
};
