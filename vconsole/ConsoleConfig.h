// The virtual console's configuration: its MIDI devices, how it behaves, and the faults it
// injects. The text format is described in vconsole/README.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vconsole {

struct DeviceEntry {
    uint16_t mid = 0;
    uint16_t pid = 0;
    std::string name;   // at most 31 characters: the capabilities hold 32 with the terminator
};

enum class Command { U, Erase, Write, Final };

enum class FaultKind {
    Silent, Result, OtherRegion, EchoHighBits, WrongEcho, LongError, Delay, Early,
    Oversized, ShortBefore, Malformed, EchoCommand, RefuseSend, Cut, Keep, LateDone,
    Thru, TailBefore, CutRestart, SplitDelay
};

struct Fault {
    Command command = Command::Erase;
    uint32_t nth = 1;          // the n-th well-formed message of that command, from 1
    FaultKind kind = FaultKind::Silent;
    uint32_t arg = 0;          // result byte, delay in ms, or a size in bytes
};

// What the console does with the messages it receives; the part a test may replace while the
// driver is loaded.
struct Behaviour {
    uint32_t latencyMs = 0;
    // MIDI thru in front of the console: every message it receives also goes back this many ms
    // after its arrival. None without.
    std::optional<uint32_t> thruMs;
    // The largest input buffer the console fills with one piece of a message; 0: any size.
    uint32_t pieceBytes = 0;
    bool answerU = false;
    bool failOpenIn = false;
    bool keepInput = false;    // a reset or close of an input loses its queued buffers for good
    // The devices the console listens on and answers on; empty: every device of that direction.
    std::vector<uint32_t> consoleOut;
    std::vector<uint32_t> consoleIn;
    std::vector<uint32_t> unreadableOut;
    std::vector<uint32_t> unreadableIn;
    std::vector<Fault> faults;
    bool fillFlash = false;    // flash_fill given
    uint8_t flashFill = 0xFF;
    std::string flashLoad;
    std::string flashDump;
    std::string journal;
};

struct ConsoleConfig {
    bool devicesGiven = false; // an out, in or no_devices line was seen
    std::vector<DeviceEntry> outputs;
    std::vector<DeviceEntry> inputs;
    Behaviour behaviour;
};

struct ConfigError {
    int line = 0;              // from 1
    std::string text;
};

struct ParsedConfig {
    ConsoleConfig config;
    std::vector<ConfigError> errors;   // each rejected line; the rest of the text still applies
};

// The largest reply `oversized` may ask for: the length field holds 14 bits.
inline constexpr uint32_t kLargestMessage = 16383 + 8;

// Parses configuration text. Without device lines the console lists one output
// 37 4 "KALDIR USB OUT" and one input 37 5 "KALDIR USB IN".
ParsedConfig ParseConsoleConfig(std::string_view text);

// Wine reaches the Unix file system through drive Z:, so "/tmp/c.txt" becomes "Z:\tmp\c.txt".
// Any other path is returned as it is.
std::string ToWindowsPath(std::string_view path);

} // namespace vconsole
