// Whatever a client sends, and whatever a test writes as configuration, the console must
// neither crash nor overrun: the first byte picks what the rest is.
//   0: a raw message; 1: a payload the harness frames correctly, so that the command checks
//   and the faults are reached; 2: configuration text, applied, then one erase and one write.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ConsoleEngine.h"
#include "Sysex.h"

namespace {

void Deliver(vconsole::CConsoleEngine& engine, const vconsole::Answer& answer)
{
    for (const vconsole::OutEvent& event : answer.events)
        engine.NoteDelivered(event);
}

std::vector<uint8_t> Frame(const uint8_t* payload, size_t n)
{
    std::vector<uint8_t> message(n + sysex::kFrameOverhead);
    std::copy(payload, payload + n, message.begin() + sysex::kPayloadOffset);
    BuildSysex(message.data(), 0, static_cast<int>(n));
    return message;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static vconsole::CConsoleEngine engine;
    if (size == 0 || size > 16384)
        return 0;
    const uint8_t* rest = data + 1;
    size_t n = size - 1;
    switch (data[0] % 3) {
    case 0:
        Deliver(engine, engine.Receive(rest, n));
        break;
    case 1: {
        std::vector<uint8_t> payload(rest, rest + n);
        for (uint8_t& b : payload)
            b &= 0x7F;
        std::vector<uint8_t> message = Frame(payload.data(), payload.size());
        Deliver(engine, engine.Receive(message.data(), message.size()));
        break;
    }
    default: {
        vconsole::ParsedConfig parsed =
            vconsole::ParseConsoleConfig(std::string_view(reinterpret_cast<const char*>(rest), n));
        // Files are not the fuzzer's business.
        parsed.config.behaviour.journal.clear();
        parsed.config.behaviour.flashDump.clear();
        parsed.config.behaviour.flashLoad.clear();
        engine.Configure(parsed.config.behaviour, parsed.errors);
        const uint8_t erase[3] = {0x42, 0x01, 0x04};
        std::vector<uint8_t> message = Frame(erase, sizeof erase);
        Deliver(engine, engine.Receive(message.data(), message.size()));
        std::vector<uint8_t> write(7 + 2341, 0x00);
        write[0] = 0x42;
        write[1] = 0x02;
        write[4] = 0x04;   // address 0x20000
        message = Frame(write.data(), write.size());
        Deliver(engine, engine.Receive(message.data(), message.size()));
        break;
    }
    }
    return 0;
}
