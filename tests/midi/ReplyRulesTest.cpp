// The reply rules, one row per way the pieces of incoming SysEx can come.
#include "ReplyRules.h"

#include <gtest/gtest.h>

#include <string>

#include "SysexMessages.h"

namespace {

const Bytes kU = CommandU(), kErase = Erase(0), kReply = Framed({0x42, 0x01, 0x00, 0x00});
// The erase of region 6: its checksum 00 stands where its reply has the result byte.
const Bytes kErase6 = Erase(6), kLong = Framed(Bytes(5000 - 16, 0x00));
// In the pieces of a row: the driver reports the message damaged; a capture starts; time-out.
const Bytes kDamaged = {0xF4}, kStart = {0xF5}, kTimeOut = {0xF9};

// Each row starts a capture after the messages it sends, and ends with a time-out.
const struct Row {
    const char* what;
    std::vector<Bytes> sent;     // oldest first
    std::vector<Bytes> pieces;
    const char* verdicts;        // a piece: c collecting, C complete, d dropped; s start; t/f time-out
    Bytes reply;                 // at the end; empty: none
} kRows[] = {
    {"whole", {kU, kErase}, {kReply}, "C", kReply}, {"a lone F0 begun", {}, {{0xF0}}, "c", {0xF0}},
    {"echo", {kErase}, {kErase, Tail(kReply, 6), kReply}, "ddC", kReply},
    {"in pieces", {kErase}, {Cut(kReply, 6), {}, Tail(kReply, 6)}, "ccC", kReply},
    {"cut short by a new F0", {kErase}, {Tail(kReply, 13), Cut(kReply, 12), kReply}, "dcC", kReply},
    {"bytes behind the end", {{0xF0, 0x01, 0xF7, 0x02}}, {{0xF0, 0x01, 0xF7, 0x02}}, "C", {0xF0, 0x01, 0xF7}},
    {"too long", {kErase}, {Cut(kLong, 4000), Tail(Cut(kLong, 4200), 4000), kReply}, "cCd", Cut(kLong, 4096)},
    {"damaged", {kErase}, {Cut(kReply, 6), kDamaged, kReply, kDamaged}, "cCdd", {}},
    {"echo of the one before, in pieces", {kU, kErase}, {Cut(kU, 6), Tail(kU, 6), kErase, kReply}, "cddC", kReply},
    {"a message sent three back is no echo", {kErase, kU, kErase6}, {kErase}, "C", kErase},
    {"echo of a message too long", {kLong}, {kLong}, "d", {}},
    {"begun at the time-out", {kErase}, {Cut(kReply, 18)}, "c", Cut(kReply, 18)},
    {"an echo begun at the time-out", {kU, kErase6}, {Cut(kErase6, 18)}, "c", {}},
    {"the one before begun at the time-out", {kErase, kU}, {Cut(kErase, 9)}, "c", {}},
    {"a whole echo of one sent without F7", {Cut(kErase, 9)}, {Cut(kErase, 9)}, "c", {}},
    // After a time-out nothing is taken, and the next capture starts from nothing.
    {"captures one after the other", {kErase},
     {Cut(kReply, 6), kTimeOut, Tail(kReply, 6), kStart, Tail(kReply, 6), kTimeOut, kStart}, "ctdsdfs", {}},
};

TEST(ReplyRules, EachWayPiecesComeEndsTheReplyAsItShould)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.what);
        CReplyRules rules;
        ASSERT_TRUE(rules.Valid());
        for (const Bytes& message : row.sent)
            rules.NoteSent(message.data(), uint32_t(message.size()));
        rules.StartCapture();
        std::string verdicts;
        for (const Bytes& piece : row.pieces) {
            if (piece == kStart)
                rules.StartCapture();
            verdicts += piece == kStart     ? (rules.ReplyLength() == 0 ? 's' : '!')
                        : piece == kTimeOut ? (rules.EndAtTimeOut() ? 't' : 'f')
                        : piece == kDamaged ? "cCd"[int(rules.Damaged())]
                                            : "cCd"[int(rules.TakePiece(piece.data(), uint32_t(piece.size())))];
        }
        EXPECT_EQ(verdicts, row.verdicts);
        EXPECT_EQ(rules.EndAtTimeOut(), !row.reply.empty());
        EXPECT_EQ(Bytes(rules.Reply(), rules.Reply() + rules.ReplyLength()), row.reply);
    }
    for (int block = 1; block <= 3; ++block) {   // memory short for any of its three blocks
        FailHeapAllocationAfter(block);
        EXPECT_FALSE(CReplyRules().Valid()) << block;
    }
}

} // namespace
