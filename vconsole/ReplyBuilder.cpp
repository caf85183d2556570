#include "ReplyBuilder.h"

#include <algorithm>

#include "RegionMap.h"
#include "Sysex.h"

namespace vconsole {
namespace {

constexpr uint8_t kActiveSensing = 0xFE;
constexpr uint32_t kEchoHighBits = 0xF0000000;

bool Has(const std::vector<Fault>& faults, FaultKind kind)
{
    return std::any_of(faults.begin(), faults.end(), [kind](const Fault& f) { return f.kind == kind; });
}

// The argument of the fault of that kind, 0 without one.
uint32_t ArgOf(const std::vector<Fault>& faults, FaultKind kind)
{
    const auto found = std::find_if(faults.begin(), faults.end(), [kind](const Fault& f) { return f.kind == kind; });
    return found == faults.end() ? 0 : found->arg;
}

// The reply as the tool hears it, with what comes before it: the tail of an earlier message,
// the echo of the command (MIDI thru), a start that breaks off; its last piece may come late.
void AddReply(Answer& answer, EventKind kind, std::vector<uint8_t> message, const uint8_t* received, size_t length,
              const std::vector<Fault>& faults, uint32_t pieceBytes)
{
    if (Has(faults, FaultKind::TailBefore)) {
        const size_t tail = std::min<size_t>(ArgOf(faults, FaultKind::TailBefore), message.size() - 1);
        answer.events.push_back({EventKind::Fragment, {message.end() - static_cast<std::ptrdiff_t>(tail), message.end()}});
    }
    if (Has(faults, FaultKind::Thru))
        answer.events.push_back({EventKind::Sysex, {received, received + length}});
    const size_t restart = ArgOf(faults, FaultKind::CutRestart);
    if (restart > 0 && restart < message.size())
        answer.events.push_back({EventKind::Sysex, {message.begin(), message.begin() + static_cast<std::ptrdiff_t>(restart)}});
    if (!Has(faults, FaultKind::SplitDelay) || kind != EventKind::Sysex || message.size() < 2) {
        answer.events.push_back({kind, std::move(message)});
        return;
    }
    // The last piece as the driver would cut it, or the end byte alone when it does not.
    const size_t rest = pieceBytes == 0 ? 1 : (message.size() % pieceBytes ? message.size() % pieceBytes : pieceBytes);
    const size_t last = std::min<size_t>(rest, message.size() - 1);
    const auto split = message.end() - static_cast<std::ptrdiff_t>(last);
    std::vector<uint8_t> end(split, message.end());
    message.erase(split, message.end());
    answer.events.push_back({kind, std::move(message)});
    answer.events.push_back({EventKind::Fragment, std::move(end), ArgOf(faults, FaultKind::SplitDelay)});
}

void AppendPackedAddress(std::vector<uint8_t>& payload, uint32_t address)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                              static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    uint8_t packed[5];
    Pack7(packed, bytes, 4);
    payload.insert(payload.end(), packed, packed + 5);
}

// The payload a healthy console answers with: the command, its argument, result byte 00.
std::vector<uint8_t> ReplyPayload(const ReceivedCommand& command, const std::vector<Fault>& faults)
{
    std::vector<uint8_t> payload;
    switch (command.command) {
    case Command::U:
        payload = {0x55};
        break;
    case Command::Erase: {
        int region = Has(faults, FaultKind::OtherRegion) ? (command.region + 1) % kRegionCount : command.region;
        payload = {0x42, 0x01, static_cast<uint8_t>(region)};
        break;
    }
    case Command::Write: {
        uint32_t echo = command.address;
        if (Has(faults, FaultKind::WrongEcho))
            echo += kPacketBytes;
        if (Has(faults, FaultKind::EchoHighBits))
            echo |= kEchoHighBits;
        payload = {0x42, 0x02};
        AppendPackedAddress(payload, echo);
        break;
    }
    case Command::Final:
        payload = {0x42, 0x00, 0x00};
        break;
    }
    uint8_t result = 0x00;
    for (const Fault& f : faults) {
        if (f.kind == FaultKind::Result)
            result = static_cast<uint8_t>(f.arg);
    }
    payload.push_back(result);
    return payload;
}

std::vector<uint8_t> Frame(std::vector<uint8_t> payload)
{
    std::vector<uint8_t> message(payload.size() + sysex::kFrameOverhead);
    std::copy(payload.begin(), payload.end(), message.begin() + sysex::kPayloadOffset);
    BuildSysex(message.data(), 0, static_cast<int>(payload.size()));
    return message;
}

// Everything the tool does not compare is wrong; the compared bytes from offset 14 stay right.
void Malform(std::vector<uint8_t>& message)
{
    message[1] = 0x41;
    message[2] = 0x10;
    message[3] = 0x7F;
    message[5] = static_cast<uint8_t>((message[5] + 1) & 0x7F);
    std::fill(message.begin() + 6, message.begin() + sysex::kPayloadOffset, uint8_t{0x58});
    uint8_t& checksum = message[message.size() - 2];
    checksum = static_cast<uint8_t>((checksum + 1) & 0x7F);
}

} // namespace

Answer BuildAnswer(const ReceivedCommand& command, const uint8_t* received, size_t length,
                   const std::vector<Fault>& faults, const Behaviour& behaviour)
{
    Answer answer;
    answer.early = Has(faults, FaultKind::Early);
    answer.kept = Has(faults, FaultKind::Keep);
    answer.lateDone = Has(faults, FaultKind::LateDone);
    answer.doneDelayMs = ArgOf(faults, FaultKind::LateDone);
    answer.delayMs = behaviour.latencyMs;
    for (const Fault& f : faults) {
        if (f.kind == FaultKind::Delay)
            answer.delayMs += f.arg;
    }
    if (Has(faults, FaultKind::Silent))
        return answer;

    std::vector<uint8_t> payload = ReplyPayload(command, faults);
    for (const Fault& f : faults) {
        size_t wanted = f.arg > sysex::kFrameOverhead ? f.arg - sysex::kFrameOverhead : 0;
        if (f.kind == FaultKind::Oversized && wanted > payload.size())
            payload.resize(wanted, 0x00);
    }
    std::vector<uint8_t> message = Has(faults, FaultKind::EchoCommand)
                                       ? std::vector<uint8_t>(received, received + length)
                                       : Frame(std::move(payload));
    if (Has(faults, FaultKind::Malformed))
        Malform(message);
    for (const Fault& f : faults) {
        if (f.kind == FaultKind::Cut && f.arg < message.size())
            message.resize(f.arg);
    }

    if (Has(faults, FaultKind::ShortBefore))
        answer.events.push_back({EventKind::Short, {kActiveSensing}});
    EventKind kind = Has(faults, FaultKind::LongError) ? EventKind::LongError : EventKind::Sysex;
    AddReply(answer, kind, std::move(message), received, length, faults, behaviour.pieceBytes);
    return answer;
}

void AddEcho(Answer& answer, std::vector<uint8_t> echo, uint32_t atMs)
{
    std::vector<OutEvent>& events = answer.events;
    size_t at = 0;
    uint32_t before = 0;               // when events[at - 1] falls due
    uint32_t due = answer.delayMs;     // when events[at] falls due
    while (at < events.size() && due < atMs) {
        before = due;
        if (++at < events.size())
            due += events[at].pauseMs;
    }
    if (at < events.size())
        events[at].pauseMs = due - atMs;
    if (at == 0)
        answer.delayMs = atMs;
    const auto place = events.begin() + static_cast<std::ptrdiff_t>(at);
    events.insert(place, {EventKind::Sysex, std::move(echo), at == 0 ? 0 : atMs - before});
}

} // namespace vconsole
