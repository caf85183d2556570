#include "WebLink.h"

#include <cstring>

#include <emscripten.h>

namespace {
// The most of a message the link sends, and of a piece it takes at a time.
constexpr uint32_t kBlockSize = CReplyRules::kLongest;
} // namespace

EM_ASYNC_JS(int, OpenOnPage, (int outDevice, int inDevice),
            { return (await Module.page.link.open(outDevice, inDevice)) ? 1 : 0; });
EM_ASYNC_JS(void, CloseOnPage, (), { await Module.page.link.close(); });
EM_JS(void, SendOnPage, (const uint8_t* message, int length),
      { Module.page.link.send(HEAPU8.slice(message, message + length)); });
// From now on the input's messages are kept for the reply; until then they are let go.
EM_JS(void, ArmOnPage, (), { Module.page.link.arm(); });
EM_JS(void, DisarmOnPage, (), { Module.page.link.disarm(); });
// The next piece the input handed over, at most `capacity` bytes of it (the rest comes next), or
// -1 once the clock has passed `deadline` (milliseconds of performance.now()).
EM_ASYNC_JS(int, NextPieceOnPage, (uint8_t* buffer, int capacity, double deadline), {
    const piece = await Module.page.link.nextPiece(deadline);
    if (piece === null)
        return -1;
    const taken = Math.min(piece.length, capacity);
    HEAPU8.set(piece.subarray(0, taken), buffer);
    if (taken < piece.length)
        Module.page.link.putBack(piece.subarray(taken));
    return taken;
});

CWebLink::CWebLink() : m_piece(kBlockSize)
{
}

int CWebLink::Open(uint32_t outDevice, uint32_t inDevice)
{
    if (m_open)
        return 1;
    if (!m_rules.Valid() || !m_piece.Valid())
        return 0;
    m_open = OpenOnPage(static_cast<int>(outDevice), static_cast<int>(inDevice)) != 0;
    return m_open ? 1 : 0;
}

void CWebLink::Close()
{
    m_reply = nullptr;
    DisarmOnPage();
    if (m_open)
        CloseOnPage();
    m_open = false;
}

void CWebLink::SendLong(const uint8_t* message, uint32_t length, uint8_t* reply)
{
    // Each send starts afresh: a buffer armed before is not ours to write any more.
    m_reply = nullptr;
    DisarmOnPage();
    if (!m_open || !message || length == 0 || length > kBlockSize)
        return;
    m_rules.NoteSent(message, length);
    if (reply) {
        m_rules.StartCapture();
        ArmOnPage();
        m_reply = reply;
    }
    SendOnPage(message, static_cast<int>(length));
}

int CWebLink::WaitReply(uint32_t timeoutMs, uint32_t& replyLength)
{
    replyLength = 0;
    if (!m_reply)
        return 0;
    const double deadline = emscripten_get_now() + timeoutMs;
    bool replied = false;
    for (;;) {
        const int taken = NextPieceOnPage(m_piece.Data(), static_cast<int>(kBlockSize), deadline);
        if (taken < 0) {
            replied = m_rules.EndAtTimeOut();
            break;
        }
        if (m_rules.TakePiece(m_piece.Data(), static_cast<uint32_t>(taken)) == CReplyRules::Verdict::Complete) {
            replied = true;
            break;
        }
    }
    if (replied) {
        replyLength = m_rules.ReplyLength();
        std::memcpy(m_reply, m_rules.Reply(), replyLength);
    }
    m_reply = nullptr;
    DisarmOnPage();
    return replied ? 1 : 0;
}
