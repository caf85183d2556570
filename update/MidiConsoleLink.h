// The console's link over this machine's MIDI ports.
#pragma once

#include "ConsoleLink.h"
#include "MidiPort.h"

class CMidiConsoleLink : public IConsoleLink {
public:
    explicit CMidiConsoleLink(uint32_t sendTimeoutMs) : m_port(sendTimeoutMs) {}

    int Open(uint32_t outDevice, uint32_t inDevice) override { return m_port.Open(outDevice, inDevice); }
    void Close() override { m_port.Close(); }
    void SendLong(const uint8_t* message, uint32_t length, uint8_t* reply) override
    {
        m_port.SendLong(message, length, reply);
    }
    int WaitReply(uint32_t timeoutMs, uint32_t& replyLength) override
    {
        return m_port.WaitReply(timeoutMs, replyLength);
    }

private:
    CMidiPort m_port;
};
