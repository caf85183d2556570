#include "UpdateCommands.h"

#include "HeapBlock.h"
#include "StatusTexts.h"
#include "Sysex.h"

namespace {

// Every command but U is 0x42 followed by its code; the console answers with the same two bytes.
constexpr uint8_t kCommand = 0x42;
constexpr uint8_t kFinalCode = 0x00;
constexpr uint8_t kEraseCode = 0x01;
constexpr uint8_t kWriteCode = 0x02;
constexpr uint8_t kCommandU = 0x55;
constexpr uint8_t kResultOk = 0x00;

// A write packet: command, code, the packed 4-byte address, the packed data. The console's reply
// echoes the packed address at the same offset and puts its result byte right after it.
constexpr int kAddressOffset = sysex::kPayloadOffset + 2;
constexpr int kAddressBytes = 4;
constexpr int kPackedAddressBytes = 5;
constexpr int kDataOffset = kAddressOffset + kPackedAddressBytes;
constexpr int kWriteResultOffset = kDataOffset;
// How far a reply must reach to hold every byte compared: one that ends earlier would be judged
// on what the reply buffer held there before, so it is no acknowledgement.
constexpr uint32_t kShortReplyEnd = sysex::kPayloadOffset + 4;
constexpr uint32_t kWriteReplyEnd = kWriteResultOffset + 1;
// Bits 28 to 31 of the echo are not part of the console's address.
constexpr uint32_t kEchoAddressMask = 0x0FFFFFFF;

bool WriteAcknowledged(const uint8_t* reply, uint32_t address)
{
    const uint8_t* payload = reply + sysex::kPayloadOffset;
    if (payload[0] != kCommand || payload[1] != kWriteCode)
        return false;
    uint8_t echo[kAddressBytes];
    Unpack7(echo, reply + kAddressOffset, kPackedAddressBytes);
    const uint32_t echoed = (uint32_t{echo[0]} << 24) | (uint32_t{echo[1]} << 16) |
                            (uint32_t{echo[2]} << 8) | uint32_t{echo[3]};
    if ((echoed & kEchoAddressMask) != (address & kEchoAddressMask))
        return false;
    return reply[kWriteResultOffset] == kResultOk;
}

} // namespace

int BuildWritePacket(uint8_t* message, uint32_t address, const uint8_t* data, int count)
{
    uint8_t* payload = message + sysex::kPayloadOffset;
    payload[0] = kCommand;
    payload[1] = kWriteCode;
    const uint8_t addressBytes[kAddressBytes] = {
        static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
        static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    Pack7(message + kAddressOffset, addressBytes, kAddressBytes);
    const int packed = Pack7(message + kDataOffset, data, count);
    return BuildSysex(message, 0, kDataOffset - sysex::kPayloadOffset + packed);
}

CUpdateCommands::CUpdateCommands(IReplyLink& link, IProgressDisplay& display, uint32_t replyTimeoutMs)
    : m_link(link), m_display(display), m_replyTimeoutMs(replyTimeoutMs)
{
}

void CUpdateCommands::SendCommandU()
{
    CHeapBlock message(kMessageBufferSize);
    if (!message.Valid()) {
        m_display.ShowStatus(texts::kNoMemory);
        return;
    }
    message.Data()[sysex::kPayloadOffset] = kCommandU;
    const int length = BuildSysex(message.Data(), 0, 1);
    // The console's answer to U, if any, is of no interest: no capture is armed.
    m_link.SendLong(message.Data(), static_cast<uint32_t>(length), nullptr);
}

int CUpdateCommands::EraseRegion(int region)
{
    const uint8_t number = static_cast<uint8_t>(region);
    const uint8_t command[] = {kCommand, kEraseCode, number};
    const uint8_t expected[] = {kCommand, kEraseCode, number, kResultOk};
    return Exchange(command, static_cast<int>(sizeof command), expected);
}

int CUpdateCommands::FinishUpdate()
{
    // The console answers the final command with 0x00 where the command carries 0x01.
    const uint8_t command[] = {kCommand, kFinalCode, 0x00, 0x01};
    const uint8_t expected[] = {kCommand, kFinalCode, 0x00, kResultOk};
    return Exchange(command, static_cast<int>(sizeof command), expected);
}

int CUpdateCommands::Exchange(const uint8_t* payload, int payloadLength, const uint8_t (&expected)[4])
{
    // Declared in this order so that the reply buffer goes back first.
    CHeapBlock message(kMessageBufferSize);
    CHeapBlock reply(kReplyBufferSize);
    if (!message.Valid() || !reply.Valid()) {
        m_display.ShowStatus(texts::kNoMemory);
        return 1;
    }
    for (int i = 0; i < payloadLength; ++i)
        message.Data()[sysex::kPayloadOffset + i] = payload[i];
    const int length = BuildSysex(message.Data(), 0, payloadLength);
    m_link.SendLong(message.Data(), static_cast<uint32_t>(length), reply.Data());
    if (!ReplyReaches(kShortReplyEnd))
        return 1;
    for (int i = 0; i < 4; ++i)
        if (reply.Data()[sysex::kPayloadOffset + i] != expected[i])
            return 1;
    return 0;
}

int CUpdateCommands::WriteRegion(uint32_t address, const uint8_t* data, uint32_t length)
{
    // Every flash region is a whole number of blocks; anything else would end in a packet
    // read past the caller's data, so it is refused before anything reaches the console.
    if (length % kBlockSize != 0)
        return 1;
    CHeapBlock message(kWriteBufferSize);
    CHeapBlock reply(kReplyBufferSize);
    if (!message.Valid() || !reply.Valid()) {
        m_display.ShowStatus(texts::kNoMemory);
        return 1;
    }
    m_display.SetRange(0, static_cast<int>(length / kBlockSize));
    m_display.SetPos(0);

    // Stop-and-wait: each packet is acknowledged before the next goes out. The reply buffer is
    // not cleared between packets; what the previous reply left there counts for nothing, as
    // every compared byte must have come with this one.
    for (uint32_t block = 0; block < length; block += kBlockSize) {
        for (uint32_t offset = 0; offset < kBlockSize; offset += static_cast<uint32_t>(kPacketDataSize)) {
            const uint32_t packetAddress = address + block + offset;
            const int messageLength =
                BuildWritePacket(message.Data(), packetAddress, data + block + offset, kPacketDataSize);
            m_link.SendLong(message.Data(), static_cast<uint32_t>(messageLength), reply.Data());
            if (!ReplyReaches(kWriteReplyEnd) || !WriteAcknowledged(reply.Data(), packetAddress))
                return 1;
        }
        m_display.OffsetPos(1);
    }
    return 0;
}

bool CUpdateCommands::ReplyReaches(uint32_t comparedEnd)
{
    uint32_t received = 0;
    return m_link.WaitReply(m_replyTimeoutMs, received) != 0 && received >= comparedEnd;
}
