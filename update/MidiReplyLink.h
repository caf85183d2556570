// The update commands' view of the port: send, then wait for the console's answer.
#pragma once

#include "MidiPort.h"
#include "ReplyLink.h"

class CMidiReplyLink : public IReplyLink {
public:
    explicit CMidiReplyLink(CMidiPort& port) : m_port(port) {}

    void SendLong(const uint8_t* message, uint32_t length, uint8_t* reply) override
    {
        m_port.SendLong(message, length, reply);
    }
    int WaitReply(uint32_t timeoutMs, uint32_t& replyLength) override
    {
        return m_port.WaitReply(timeoutMs, replyLength);
    }

private:
    CMidiPort& m_port;
};
