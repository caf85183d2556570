// What counts as the console's reply, from the pieces of incoming SysEx the MIDI link hands
// over: a message from F0 to F7, whatever pieces it comes in (classic drivers hand over whole
// messages, some USB-MIDI drivers and newer MIDI stacks a few bytes at a time), at most
// kLongest bytes of it. A loopback port or an interface with MIDI thru sends our own messages
// back, sometimes after the next one has gone out, and some of them (the final command, the
// erase of region 6, a write whose first data bytes are low) would pass for an answer: a
// message identical to one of the last two sent is an echo, never a reply.
//
// No platform call and no allocation after construction; not thread-safe: the link makes sure
// that one side at a time uses it.
#pragma once

#include "HeapBlock.h"

#include <cstdint>

class CReplyRules {
public:
    // The most of a reply that is kept, and of a sent message that is kept to tell its echo.
    static constexpr uint32_t kLongest = 4096;

    enum class Verdict {
        Collecting,   // a reply has begun or is still awaited
        Complete,     // the reply is in Reply(); nothing more is taken until the next capture
        Dropped       // the piece and what was collected are no reply; a capture goes on waiting
    };

    CReplyRules();
    // False when memory was short at construction: nothing can be kept.
    bool Valid() const;

    // Every message the link sends, before it goes out, whether a reply is awaited or not.
    void NoteSent(const uint8_t* message, uint32_t length);
    // A reply is awaited from now on; nothing has been collected yet.
    void StartCapture();
    // One piece of incoming SysEx as the driver handed it over, of any length.
    Verdict TakePiece(const uint8_t* piece, uint32_t length);
    // The driver reported the incoming message damaged: the reply ends without data.
    Verdict Damaged();
    // The wait ran out: a message begun but not ended is the reply as far as it came, unless it
    // is the start of an echo. True when a reply with data stands.
    bool EndAtTimeOut();

    // The reply once complete; its length is 0 without one or without data.
    const uint8_t* Reply() const { return m_collected.Data(); }
    uint32_t ReplyLength() const { return m_replyLength; }

private:
    bool IsEcho(bool begunOnly) const;
    Verdict End(uint32_t length);

    CHeapBlock m_collected;
    uint32_t m_collectedLength = 0;   // 0 while no message has begun
    uint32_t m_replyLength = 0;
    bool m_capturing = false;
    // The last two messages sent, kept up to kLongest bytes; m_newest is the later one.
    CHeapBlock m_sent[2];
    uint32_t m_sentLength[2] = {};
    int m_newest = 0;
};
