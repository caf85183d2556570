// Whatever a driver or a browser hands over, in whatever order with sends, captures, damaged
// messages and time-outs, the reply rules must neither overrun nor keep more than 4096 bytes,
// nor take one of the last two messages sent for a reply (nor, at the time-out, the start of
// one). The input is a list of steps: a byte picks the step, two more give a length: of the
// bytes that follow, or where one of the last two messages sent is split when the step hands
// over its start or its rest, as a loopback port would.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "ReplyRules.h"

namespace {

using Bytes = std::vector<uint8_t>;

// `reply` is `sent`, or with `begunOnly` its start.
bool Echoes(const Bytes& reply, const Bytes& sent, bool begunOnly)
{
    return begunOnly ? reply.size() <= sent.size() && std::equal(reply.begin(), reply.end(), sent.begin())
                     : reply == sent;
}

void Check(const CReplyRules& rules, const Bytes (&sent)[2], bool begunOnly)
{
    const Bytes reply(rules.Reply(), rules.Reply() + rules.ReplyLength());
    if (reply.size() > CReplyRules::kLongest || Echoes(reply, sent[0], begunOnly) || Echoes(reply, sent[1], begunOnly))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CReplyRules rules;
    Bytes sent[2];
    bool capturing = false;   // between the start of a capture and its end
    while (size >= 3) {
        const uint8_t step = data[0];
        const size_t length = data[1] | data[2] << 8;
        data += 3;
        size -= 3;
        // Each piece in a block of its own size, so that any read past it is caught.
        Bytes bytes;
        if (step % 6 == 5) {
            const Bytes& echoed = sent[step / 6 % 2];
            const size_t split = std::min(length, echoed.size());
            bytes = step / 12 % 2 ? Bytes(echoed.begin(), echoed.begin() + split)
                                  : Bytes(echoed.begin() + split, echoed.end());
        } else {
            bytes.assign(data, data + std::min(size, length));
            data += bytes.size();
            size -= bytes.size();
        }
        switch (step % 6) {
        case 0:
            rules.NoteSent(bytes.data(), uint32_t(bytes.size()));
            sent[0] = std::move(sent[1]);
            sent[1] = bytes;
            break;
        case 1:
            rules.StartCapture();
            capturing = true;
            break;
        case 3:
            if (rules.Damaged() == CReplyRules::Verdict::Complete && (rules.ReplyLength() != 0 || !capturing))
                std::abort();
            capturing = false;
            break;
        case 4:
            if (rules.EndAtTimeOut() && capturing)
                Check(rules, sent, true);
            capturing = false;
            break;
        default:
            if (rules.TakePiece(bytes.data(), uint32_t(bytes.size())) == CReplyRules::Verdict::Complete) {
                Check(rules, sent, false);
                capturing = false;
            }
        }
    }
    return 0;
}
