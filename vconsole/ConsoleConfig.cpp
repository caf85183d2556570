#include "ConsoleConfig.h"

#include <charconv>

namespace vconsole {
namespace {

constexpr size_t kLongestName = 31;

std::string_view Trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Splits off the first blank-separated word of `rest`.
std::string_view NextWord(std::string_view& rest)
{
    rest = Trim(rest);
    size_t end = rest.find_first_of(" \t");
    std::string_view word = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view{} : Trim(rest.substr(end));
    return word;
}

bool ParseNumber(std::string_view word, int base, uint32_t limit, uint32_t& value)
{
    if (word.empty())
        return false;
    uint32_t v = 0;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), v, base);
    if (ec != std::errc{} || end != word.data() + word.size() || v > limit)
        return false;
    value = v;
    return true;
}

// Fault kinds by name; `arg` tells whether a number follows, `only` limits the command.
struct KindName {
    std::string_view name;
    FaultKind kind;
    int argBase;               // 0: no argument, 10 or 16
    uint32_t argLimit;
    bool eraseOnly;
    bool writeOnly;
};

constexpr KindName kKinds[] = {
    {"silent", FaultKind::Silent, 0, 0, false, false},
    {"result", FaultKind::Result, 16, 0x7F, false, false},
    {"other_region", FaultKind::OtherRegion, 0, 0, true, false},
    {"echo_high_bits", FaultKind::EchoHighBits, 0, 0, false, true},
    {"wrong_echo", FaultKind::WrongEcho, 0, 0, false, true},
    {"long_error", FaultKind::LongError, 0, 0, false, false},
    {"delay", FaultKind::Delay, 10, 600000, false, false},
    {"early", FaultKind::Early, 0, 0, false, false},
    {"oversized", FaultKind::Oversized, 10, kLargestMessage, false, false},
    {"short_before", FaultKind::ShortBefore, 0, 0, false, false},
    {"malformed", FaultKind::Malformed, 0, 0, false, false},
    {"echo_command", FaultKind::EchoCommand, 0, 0, false, false},
    {"refuse_send", FaultKind::RefuseSend, 0, 0, false, false},
    {"cut", FaultKind::Cut, 10, kLargestMessage, false, false},
    {"keep", FaultKind::Keep, 0, 0, false, false},
    {"thru", FaultKind::Thru, 0, 0, false, false},
    {"tail_before", FaultKind::TailBefore, 10, kLargestMessage, false, false},
    {"cut_restart", FaultKind::CutRestart, 10, kLargestMessage, false, false},
    {"split_delay", FaultKind::SplitDelay, 10, 600000, false, false},
    {"late_done", FaultKind::LateDone, 10, 600000, false, false},
};

// Returns an error text, or an empty string when the fault was taken.
std::string ParseFault(std::string_view rest, std::vector<Fault>& faults)
{
    Fault fault;
    std::string_view command = NextWord(rest);
    if (command == "erase")
        fault.command = Command::Erase;
    else if (command == "write")
        fault.command = Command::Write;
    else if (command == "final")
        fault.command = Command::Final;
    else
        return "fault: unknown command '" + std::string(command) + "'";
    if (!ParseNumber(NextWord(rest), 10, UINT32_MAX, fault.nth) || fault.nth == 0)
        return "fault: the message number must count from 1";
    std::string_view kindWord = NextWord(rest);
    for (const KindName& k : kKinds) {
        if (k.name != kindWord)
            continue;
        if (k.eraseOnly && fault.command != Command::Erase)
            return "fault: " + std::string(k.name) + " applies to erase only";
        if (k.writeOnly && fault.command != Command::Write)
            return "fault: " + std::string(k.name) + " applies to write only";
        fault.kind = k.kind;
        if (k.argBase != 0 && !ParseNumber(NextWord(rest), k.argBase, k.argLimit, fault.arg))
            return "fault: " + std::string(k.name) + " needs a valid number";
        if (!rest.empty())
            return "fault: unexpected '" + std::string(rest) + "'";
        faults.push_back(fault);
        return {};
    }
    return "fault: unknown kind '" + std::string(kindWord) + "'";
}

std::string ParseDevice(std::string_view rest, std::vector<DeviceEntry>& devices)
{
    DeviceEntry device;
    uint32_t mid = 0;
    uint32_t pid = 0;
    if (!ParseNumber(NextWord(rest), 10, 0xFFFF, mid) || !ParseNumber(NextWord(rest), 10, 0xFFFF, pid))
        return "device: manufacturer and product must be numbers up to 65535";
    if (rest.empty() || rest.size() > kLongestName)
        return "device: the name must have 1 to 31 characters";
    device.mid = static_cast<uint16_t>(mid);
    device.pid = static_cast<uint16_t>(pid);
    device.name = std::string(rest);
    devices.push_back(device);
    return {};
}

std::string ParseLine(std::string_view line, ConsoleConfig& config, bool& noDevices)
{
    Behaviour& b = config.behaviour;
    std::string_view rest = line;
    std::string_view directive = NextWord(rest);
    uint32_t number = 0;
    const auto noArgument = [&]() -> std::string {
        return rest.empty() ? std::string{} : std::string(directive) + ": takes no argument";
    };
    const auto path = [&](std::string& target) -> std::string {
        if (rest.empty())
            return std::string(directive) + ": needs a path";
        target = std::string(rest);
        return {};
    };
    const auto index = [&](std::vector<uint32_t>& target) -> std::string {
        if (!ParseNumber(rest, 10, 0xFFFF, number))
            return std::string(directive) + ": needs a device index";
        target.push_back(number);
        return {};
    };

    if (directive == "out" || directive == "in") {
        config.devicesGiven = true;
        return ParseDevice(rest, directive == "out" ? config.outputs : config.inputs);
    }
    if (directive == "no_devices") {
        config.devicesGiven = true;
        noDevices = true;
        return noArgument();
    }
    if (directive == "unreadable_out")
        return index(b.unreadableOut);
    if (directive == "unreadable_in")
        return index(b.unreadableIn);
    if (directive == "console_out")
        return index(b.consoleOut);
    if (directive == "console_in")
        return index(b.consoleIn);
    if (directive == "keep_input") {
        b.keepInput = true;
        return noArgument();
    }
    if (directive == "fail_open_in") {
        b.failOpenIn = true;
        return noArgument();
    }
    if (directive == "answer_u") {
        b.answerU = true;
        return noArgument();
    }
    if (directive == "latency_ms" || directive == "thru") {
        if (!ParseNumber(rest, 10, 600000, number))
            return std::string(directive) + ": needs milliseconds";
        if (directive == "thru")
            b.thruMs = number;
        else
            b.latencyMs = number;
        return {};
    }
    if (directive == "pieces") {
        if (!ParseNumber(rest, 10, kLargestMessage, number) || number == 0)
            return "pieces: needs a number of bytes from 1";
        b.pieceBytes = number;
        return {};
    }
    if (directive == "flash_fill") {
        if (!ParseNumber(rest, 16, 0xFF, number))
            return "flash_fill: needs a hexadecimal byte";
        b.fillFlash = true;
        b.flashFill = static_cast<uint8_t>(number);
        return {};
    }
    if (directive == "flash_load")
        return path(b.flashLoad);
    if (directive == "flash_dump")
        return path(b.flashDump);
    if (directive == "journal")
        return path(b.journal);
    if (directive == "fault")
        return ParseFault(rest, b.faults);
    return "unknown directive '" + std::string(directive) + "'";
}

} // namespace

ParsedConfig ParseConsoleConfig(std::string_view text)
{
    ParsedConfig parsed;
    bool noDevices = false;
    int lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        line = Trim(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        std::string error = ParseLine(line, parsed.config, noDevices);
        if (!error.empty())
            parsed.errors.push_back({lineNumber, error});
    }

    ConsoleConfig& config = parsed.config;
    if (noDevices && (!config.outputs.empty() || !config.inputs.empty())) {
        parsed.errors.push_back({0, "no_devices together with device lines: no device is listed"});
        config.outputs.clear();
        config.inputs.clear();
    }
    if (!config.devicesGiven) {
        config.outputs.push_back({37, 4, "KALDIR USB OUT"});
        config.inputs.push_back({37, 5, "KALDIR USB IN"});
    }
    return parsed;
}

std::string ToWindowsPath(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return std::string(path);
    std::string mapped = "Z:";
    for (char c : path)
        mapped += c == '/' ? '\\' : c;
    return mapped;
}

} // namespace vconsole
