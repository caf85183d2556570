#include "ReplyRules.h"

#include <algorithm>

namespace {
// MIDI's status bytes that open and close a system-exclusive message; every byte between them
// is below 0x80.
constexpr uint8_t kSysexStart = 0xF0;
constexpr uint8_t kSysexEnd = 0xF7;
} // namespace

CReplyRules::CReplyRules()
    : m_collected(kLongest), m_sent{CHeapBlock(kLongest), CHeapBlock(kLongest)}
{
}

bool CReplyRules::Valid() const
{
    return m_collected.Valid() && m_sent[0].Valid() && m_sent[1].Valid();
}

void CReplyRules::NoteSent(const uint8_t* message, uint32_t length)
{
    m_newest = 1 - m_newest;
    m_sentLength[m_newest] = std::min<uint32_t>(length, kLongest);
    std::copy_n(message, m_sentLength[m_newest], m_sent[m_newest].Data());
}

void CReplyRules::StartCapture()
{
    m_capturing = true;
    m_collectedLength = 0;
    m_replyLength = 0;
}

CReplyRules::Verdict CReplyRules::TakePiece(const uint8_t* piece, uint32_t length)
{
    if (!m_capturing)
        return Verdict::Dropped;
    if (length == 0)
        return Verdict::Collecting;
    if (piece[0] == kSysexStart)
        m_collectedLength = 0;   // a message cut short by the start of another is damaged
    else if (m_collectedLength == 0)
        return Verdict::Dropped;   // the rest of a message that began before the capture
    const uint8_t* end = std::find(piece, piece + length, kSysexEnd);
    const bool ended = end != piece + length;
    const uint32_t upToEnd = static_cast<uint32_t>(end - piece) + (ended ? 1 : 0);
    // What does not fit is dropped: the rest of a message too long to be a reply.
    const uint32_t taken = std::min<uint32_t>(upToEnd, kLongest - m_collectedLength);
    std::copy_n(piece, taken, m_collected.Data() + m_collectedLength);
    m_collectedLength += taken;
    if (!ended && m_collectedLength < kLongest)
        return Verdict::Collecting;
    if (IsEcho(false)) {
        m_collectedLength = 0;
        return Verdict::Dropped;
    }
    return End(m_collectedLength);
}

CReplyRules::Verdict CReplyRules::Damaged()
{
    return m_capturing ? End(0) : Verdict::Dropped;
}

bool CReplyRules::EndAtTimeOut()
{
    // Nothing begun is the start of every message: no reply then either.
    if (m_capturing)
        End(IsEcho(true) ? 0 : m_collectedLength);
    return m_replyLength > 0;
}

// The message collected is one of the last two sent, or with `begunOnly` the start of one.
bool CReplyRules::IsEcho(bool begunOnly) const
{
    for (int i = 0; i < 2; ++i) {
        const bool fits = begunOnly ? m_collectedLength <= m_sentLength[i] : m_collectedLength == m_sentLength[i];
        if (fits && std::equal(Reply(), Reply() + m_collectedLength, m_sent[i].Data()))
            return true;
    }
    return false;
}

CReplyRules::Verdict CReplyRules::End(uint32_t length)
{
    m_capturing = false;
    m_replyLength = length;
    return Verdict::Complete;
}
