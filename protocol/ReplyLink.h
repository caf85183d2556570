// What the update commands need of the MIDI link: send a message, then wait for the reply.
#pragma once

#include <cstdint>

class IReplyLink {
public:
    virtual ~IReplyLink() = default;
    // Sends one complete SysEx message and returns once the driver is done with it. With a reply
    // buffer (4096 bytes) the capture of the next incoming SysEx message is armed before sending.
    virtual void SendLong(const uint8_t* message, uint32_t length, uint8_t* reply) = 0;
    // Nonzero when the capture completed within the time-out (possibly without data);
    // `replyLength` receives how many bytes of the reply the buffer holds (0 for none).
    virtual int WaitReply(uint32_t timeoutMs, uint32_t& replyLength) = 0;
};
