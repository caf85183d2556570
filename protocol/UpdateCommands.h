// The console's update commands: U, erase, write (a region as acknowledged packets), final.
#pragma once

#include <cstdint>

#include "ProgressDisplay.h"
#include "ReplyLink.h"

inline constexpr uint32_t kReplyTimeoutMs = 5000;
inline constexpr int kMessageBufferSize = 256;     // U, erase, final
inline constexpr int kWriteBufferSize = 4096;      // one write packet
inline constexpr int kReplyBufferSize = 4096;      // one input block of the port
inline constexpr uint32_t kBlockSize = 4096;       // the progress bar's step
inline constexpr int kPacketDataSize = 2048;       // data bytes in a full write packet

// The packets WriteRegion sends for `length` bytes of whole blocks.
inline constexpr uint32_t WritePacketCount(uint32_t length)
{
    return length / static_cast<uint32_t>(kPacketDataSize);
}

// Fills `message` with a write packet of `count` data bytes for flash address `address`;
// returns the message length (2364 for 2048 bytes).
int BuildWritePacket(uint8_t* message, uint32_t address, const uint8_t* data, int count);

class CUpdateCommands {
public:
    // The time-out is the console's 5000 ms in the shipped programs; tests shorten it.
    CUpdateCommands(IReplyLink& link, IProgressDisplay& display, uint32_t replyTimeoutMs = kReplyTimeoutMs);

    // Each command takes its own buffers; when memory is short it shows texts::kNoMemory and
    // sends nothing. The three with a reply return 0 for success, 1 for failure.
    void SendCommandU();
    int EraseRegion(int region);
    // `length` must be a whole number of 4096-byte blocks; any other length is refused (1)
    // before anything is sent.
    int WriteRegion(uint32_t address, const uint8_t* data, uint32_t length);
    int FinishUpdate();

private:
    // Sends a short command and compares reply bytes 14 to 17 with `expected`; 0 or 1.
    int Exchange(const uint8_t* payload, int payloadLength, const uint8_t (&expected)[4]);
    // True when a reply came in time and reaches at least to its byte `comparedEnd` - 1.
    bool ReplyReaches(uint32_t comparedEnd);

    IReplyLink& m_link;
    IProgressDisplay& m_display;
    uint32_t m_replyTimeoutMs;
};
