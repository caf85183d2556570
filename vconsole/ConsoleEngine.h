// The console itself, without MIDI: takes each received message, keeps the flash, decides the
// reply and its timing from the configured faults, and keeps the journal and the counters.
// Not thread-safe: the driver serialises every call.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Answer.h"
#include "ConsoleConfig.h"
#include "FlashModel.h"
#include "Journal.h"
#include "MessageCheck.h"

namespace vconsole {

struct ConsoleStats {
    uint32_t received = 0;     // messages the console took in, malformed ones included
    uint32_t replies = 0;      // replies handed to the tool: SysEx replies and damaged ones
    uint32_t violations = 0;   // malformed messages (not answered)
    uint32_t dropped = 0;      // replies the tool never got: no buffer, input stopped or closed
    uint32_t refused = 0;      // messages the driver refused (refuse_send)
    // Sum over the replies handed over of the real time from the message's arrival at the
    // driver to the reply's first buffer going to the tool, as the driver measured it.
    uint64_t replyDelayUs = 0;
    // The tool's side of each round trip: from a reply's first buffer going to the tool to the
    // arrival of the tool's next message, summed, and how many such round trips there were.
    uint64_t turnaroundUs = 0;
    uint32_t turnarounds = 0;
};

class CConsoleEngine {
public:
    CConsoleEngine() = default;

    // Replaces the behaviour and starts the fault counts and the counters afresh. A journal or
    // flash_dump path replaces the earlier one; without one the earlier stays. flash_fill and
    // flash_load set the flash now (load after fill). `errors` from parsing are journaled.
    // Returns the number of problems: the parse errors plus a flash_load that failed.
    int Configure(const Behaviour& behaviour, const std::vector<ConfigError>& errors);
    // A test's own journal instead of the file.
    void UseJournal(std::unique_ptr<IJournal> journal) { m_journal = std::move(journal); }

    // One complete SysEx message as the tool sent it.
    Answer Receive(const uint8_t* message, size_t length);
    // A short MIDI message: the console expects SysEx only.
    void ReceiveShort(uint32_t packed);

    // The driver reports what became of each event of an answer.
    void NoteDelivered(const OutEvent& event);
    void NoteDropped(const OutEvent& event);
    void NoteReplyDelay(uint64_t microseconds) { m_stats.replyDelayUs += microseconds; }
    void NoteTurnaround(uint64_t microseconds)
    {
        m_stats.turnaroundUs += microseconds;
        ++m_stats.turnarounds;
    }

    // The ports have closed: journal the counters and dump the flash if asked to.
    void Closed();

    const Behaviour& Settings() const { return m_behaviour; }
    const ConsoleStats& Stats() const { return m_stats; }
    const std::vector<std::string>& Violations() const { return m_violations; }
    const CFlashModel& Flash() const { return m_flash; }

private:
    Answer Respond(const uint8_t* message, size_t length);
    void Journal(const std::string& line);
    void Violation(const std::string& text);
    std::vector<Fault> FaultsFor(Command command, uint32_t nth) const;

    Behaviour m_behaviour;
    CFlashModel m_flash;
    std::unique_ptr<IJournal> m_journal;
    ConsoleStats m_stats;
    std::vector<std::string> m_violations;
    std::array<uint32_t, 4> m_commandCounts{};   // per Command, well-formed messages so far
    ReceivedCommand m_command;                   // decoding space for the message in hand
};

} // namespace vconsole
