#include "ConsoleEngine.h"

#include <cstdio>

#include "ReplyBuilder.h"

namespace vconsole {
namespace {

// How many bytes a short message has, from its status byte.
size_t ShortLength(uint8_t status)
{
    if (status >= 0xF8 || status == 0xF6)
        return 1;
    if ((status & 0xE0) == 0xC0 || status == 0xF1 || status == 0xF3)
        return 2;
    return 3;
}

bool ReadWholeFile(const std::string& path, CFlashModel& flash)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::vector<uint8_t> bytes(CFlashModel::kSize + 1);
    size_t n = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    return flash.Load(bytes.data(), n);
}

bool WriteWholeFile(const std::string& path, const CFlashModel& flash)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    size_t n = flash.Valid() ? std::fwrite(flash.Data(), 1, CFlashModel::kSize, file) : 0;
    return std::fclose(file) == 0 && n == CFlashModel::kSize;
}

} // namespace

int CConsoleEngine::Configure(const Behaviour& behaviour, const std::vector<ConfigError>& errors)
{
    std::string journal = behaviour.journal.empty() ? m_behaviour.journal : behaviour.journal;
    std::string dump = behaviour.flashDump.empty() ? m_behaviour.flashDump : behaviour.flashDump;
    if (!behaviour.journal.empty())
        m_journal = std::make_unique<CFileJournal>(behaviour.journal);
    m_behaviour = behaviour;
    m_behaviour.journal = journal;
    m_behaviour.flashDump = dump;
    m_stats = {};
    m_violations.clear();
    m_commandCounts = {};

    int problems = static_cast<int>(errors.size());
    for (const ConfigError& e : errors)
        Journal("config " + std::to_string(e.line) + ": " + e.text);
    if (behaviour.fillFlash)
        m_flash.Fill(behaviour.flashFill);
    if (!behaviour.flashLoad.empty() && !ReadWholeFile(behaviour.flashLoad, m_flash)) {
        Journal("config flash_load: cannot read 4194304 bytes from " + behaviour.flashLoad);
        ++problems;
    }
    return problems;
}

Answer CConsoleEngine::Receive(const uint8_t* message, size_t length)
{
    Answer answer = Respond(message, length);
    // MIDI thru sends back whatever reaches the console, U and malformed messages too; the
    // console's own answer follows after its latency.
    if (m_behaviour.thruMs && !answer.refused)
        AddEcho(answer, {message, message + length}, *m_behaviour.thruMs);
    return answer;
}

Answer CConsoleEngine::Respond(const uint8_t* message, size_t length)
{
    std::string fault = CheckMessage(message, length, m_command);
    if (!fault.empty()) {
        ++m_stats.received;
        Journal("rx " + Hex(message, length));
        Violation(fault);
        return {};
    }

    uint32_t nth = ++m_commandCounts[static_cast<size_t>(m_command.command)];
    std::vector<Fault> faults = FaultsFor(m_command.command, nth);
    for (const Fault& f : faults) {
        if (f.kind == FaultKind::RefuseSend) {
            ++m_stats.refused;
            Journal("refused " + Hex(message, length));
            Answer refused;
            refused.refused = true;
            return refused;
        }
    }

    ++m_stats.received;
    Journal("rx " + Hex(message, length));
    // The command is carried out whatever the reply turns out to be: the faults bend only
    // what the tool hears back.
    if (m_command.command == Command::Erase)
        m_flash.EraseRegion(m_command.region);
    else if (m_command.command == Command::Write)
        m_flash.Program(m_command.address, m_command.data, kPacketBytes);
    if (m_command.command == Command::U && !m_behaviour.answerU)
        return {};
    Answer answer = BuildAnswer(m_command, message, length, faults, m_behaviour);
    // The tool awaits no answer to U, and one that came after the send was reported done could
    // meet the capture armed by the next command: it comes at once.
    answer.early = answer.early || m_command.command == Command::U;
    return answer;
}

void CConsoleEngine::ReceiveShort(uint32_t packed)
{
    const uint8_t bytes[3] = {static_cast<uint8_t>(packed), static_cast<uint8_t>(packed >> 8),
                              static_cast<uint8_t>(packed >> 16)};
    size_t n = ShortLength(bytes[0]);
    ++m_stats.received;
    Journal("rx " + Hex(bytes, n));
    Violation("short message " + Hex(bytes, n) + ": the console takes SysEx only");
}

void CConsoleEngine::NoteDelivered(const OutEvent& event)
{
    if (event.kind == EventKind::Short) {
        Journal("tx " + Hex(event.bytes.data(), event.bytes.size()));
        return;
    }
    if (event.kind != EventKind::Fragment)
        ++m_stats.replies;
    const char* tag = event.kind == EventKind::LongError ? "longerror " : "tx ";
    Journal(tag + Hex(event.bytes.data(), event.bytes.size()));
}

void CConsoleEngine::NoteDropped(const OutEvent& event)
{
    if (event.kind != EventKind::Short && event.kind != EventKind::Fragment)
        ++m_stats.dropped;
    Journal("dropped " + Hex(event.bytes.data(), event.bytes.size()));
}

void CConsoleEngine::Closed()
{
    char line[200];
    std::snprintf(line, sizeof line,
                  "stats received=%u replies=%u violations=%u dropped=%u refused=%u reply_delay_us=%llu "
                  "turnarounds=%u turnaround_us=%llu",
                  m_stats.received, m_stats.replies, m_stats.violations, m_stats.dropped, m_stats.refused,
                  static_cast<unsigned long long>(m_stats.replyDelayUs), m_stats.turnarounds,
                  static_cast<unsigned long long>(m_stats.turnaroundUs));
    Journal(line);
    if (!m_behaviour.flashDump.empty() && !WriteWholeFile(m_behaviour.flashDump, m_flash))
        Journal("config flash_dump: cannot write " + m_behaviour.flashDump);
}

void CConsoleEngine::Journal(const std::string& line)
{
    if (m_journal)
        m_journal->WriteLine(line);
}

void CConsoleEngine::Violation(const std::string& text)
{
    ++m_stats.violations;
    m_violations.push_back(text);
    Journal("violation " + text);
}

std::vector<Fault> CConsoleEngine::FaultsFor(Command command, uint32_t nth) const
{
    std::vector<Fault> faults;
    for (const Fault& f : m_behaviour.faults) {
        if (f.command == command && f.nth == nth)
            faults.push_back(f);
    }
    return faults;
}

} // namespace vconsole
