// The console's link in a browser: the Web MIDI output and input the page opened. A message goes
// out at once; a reply is awaited without holding the page: the update is suspended until the
// page's input hands a piece over, or the time-out comes, by the clock.
#pragma once

#include <cstdint>

#include "ConsoleLink.h"
#include "HeapBlock.h"
#include "ReplyRules.h"

class CWebLink : public IConsoleLink {
public:
    CWebLink();

    int Open(uint32_t outDevice, uint32_t inDevice) override;
    void Close() override;
    // A message the browser refuses (the port gone meanwhile) is as one the console never got:
    // its reply does not come and the wait ends at its time-out.
    void SendLong(const uint8_t* message, uint32_t length, uint8_t* reply) override;
    int WaitReply(uint32_t timeoutMs, uint32_t& replyLength) override;

private:
    CReplyRules m_rules;
    // One piece as the page hands it over.
    CHeapBlock m_piece;
    // The caller's reply buffer while a reply is awaited, else null.
    uint8_t* m_reply = nullptr;
    bool m_open = false;
};
