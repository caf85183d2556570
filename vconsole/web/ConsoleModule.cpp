// The virtual console's engine as WebAssembly, for the browser's fake Web MIDI (fake-midi.js),
// which plays the driver's part: it hands the engine each message a page sends and plays back
// the answer on the console's input. Results go out as JSON texts, valid until the next call.
#include <emscripten/emscripten.h>

#include <string>
#include <utility>

#include "ConsoleEngine.h"

using namespace vconsole;

namespace {

// Lines gather here until the script takes them.
class CMemoryJournal : public IJournal {
public:
    void WriteLine(const std::string& line) override
    {
        m_lines += line;
        m_lines += '\n';
    }
    std::string Take() { return std::exchange(m_lines, {}); }

private:
    std::string m_lines;
};

struct ConsoleModule {
    ConsoleModule()
    {
        auto journal = std::make_unique<CMemoryJournal>();
        this->journal = journal.get();
        engine.UseJournal(std::move(journal));
    }
    CConsoleEngine engine;
    CMemoryJournal* journal = nullptr;   // owned by the engine
    int configProblems = 0;
    std::string text;                    // the last result handed out
};

ConsoleModule& Console()
{
    static ConsoleModule console;
    return console;
}

const char* KindName(EventKind kind)
{
    switch (kind) {
    case EventKind::Sysex:
        return "Sysex";
    case EventKind::Short:
        return "Short";
    case EventKind::LongError:
        return "LongError";
    case EventKind::Fragment:
        return "Fragment";
    }
    return "";
}

template <typename Numbers>
void AppendArray(std::string& json, const Numbers& numbers)
{
    json += '[';
    for (size_t i = 0; i < numbers.size(); ++i)
        json += (i ? "," : "") + std::to_string(numbers[i]);
    json += ']';
}

void AppendString(std::string& json, const std::string& text)
{
    json += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            json += "\\u00" + Hex(reinterpret_cast<const uint8_t*>(&c), 1);
        } else {
            json += c;
        }
    }
    json += '"';
}

void AppendDevices(std::string& json, const char* key, const std::vector<DeviceEntry>& devices)
{
    json += std::string(",\"") + key + "\":[";
    for (size_t i = 0; i < devices.size(); ++i) {
        json += (i ? ",{\"mid\":" : "{\"mid\":") + std::to_string(devices[i].mid) + ",\"pid\":" +
                std::to_string(devices[i].pid) + ",\"name\":";
        AppendString(json, devices[i].name);
        json += '}';
    }
    json += ']';
}

void AppendIndices(std::string& json, const char* key, const std::vector<uint32_t>& indices)
{
    json += std::string(",\"") + key + "\":";
    AppendArray(json, indices);
}

const char* HandOut(std::string json)
{
    Console().text = std::move(json);
    return Console().text.c_str();
}

} // namespace

extern "C" {

// The whole configuration, devices included (a browser sees devices come and go). The browser
// has no files for the journal: it is kept for vc_take_journal whatever the text names.
// Returns {"problems", "outputs", "inputs", and the settings the script plays}.
EMSCRIPTEN_KEEPALIVE const char* vc_configure(const char* text)
{
    ParsedConfig parsed = ParseConsoleConfig(text);
    parsed.config.behaviour.journal.clear();
    ConsoleModule& console = Console();
    console.configProblems = console.engine.Configure(parsed.config.behaviour, parsed.errors);
    const Behaviour& b = console.engine.Settings();
    std::string json = "{\"problems\":" + std::to_string(console.configProblems);
    AppendDevices(json, "outputs", parsed.config.outputs);
    AppendDevices(json, "inputs", parsed.config.inputs);
    AppendIndices(json, "consoleOut", b.consoleOut);
    AppendIndices(json, "consoleIn", b.consoleIn);
    AppendIndices(json, "unreadableOut", b.unreadableOut);
    AppendIndices(json, "unreadableIn", b.unreadableIn);
    json += std::string(",\"failOpenIn\":") + (b.failOpenIn ? "true" : "false") +
            ",\"pieceBytes\":" + std::to_string(b.pieceBytes) + '}';
    return HandOut(std::move(json));
}

// One complete SysEx message from the page. Returns the answer:
// {"refused", "early", "delayMs", "events": [{"kind", "pauseMs", "bytes": [...]}]}.
EMSCRIPTEN_KEEPALIVE const char* vc_receive(const uint8_t* message, int length)
{
    const Answer answer = Console().engine.Receive(message, static_cast<size_t>(length));
    std::string json = std::string("{\"refused\":") + (answer.refused ? "true" : "false") +
                       ",\"early\":" + (answer.early ? "true" : "false") +
                       ",\"delayMs\":" + std::to_string(answer.delayMs) + ",\"events\":[";
    for (size_t i = 0; i < answer.events.size(); ++i) {
        const OutEvent& event = answer.events[i];
        json += std::string(i ? "," : "") + "{\"kind\":\"" + KindName(event.kind) +
                "\",\"pauseMs\":" + std::to_string(event.pauseMs) + ",\"bytes\":";
        AppendArray(json, event.bytes);
        json += '}';
    }
    return HandOut(json + "]}");
}

// A short message from the page, packed as WinMM packs it: status in the lowest byte.
EMSCRIPTEN_KEEPALIVE void vc_receive_short(uint32_t packed)
{
    Console().engine.ReceiveShort(packed);
}

// What became of an event of an answer: handed to the page, or never.
EMSCRIPTEN_KEEPALIVE void vc_note(int delivered, const char* kind, const uint8_t* bytes, int length)
{
    OutEvent event;
    for (EventKind k : {EventKind::Sysex, EventKind::Short, EventKind::LongError, EventKind::Fragment}) {
        if (std::string(KindName(k)) == kind)
            event.kind = k;
    }
    event.bytes.assign(bytes, bytes + length);
    if (delivered)
        Console().engine.NoteDelivered(event);
    else
        Console().engine.NoteDropped(event);
}

EMSCRIPTEN_KEEPALIVE void vc_note_reply_delay(double microseconds)
{
    Console().engine.NoteReplyDelay(static_cast<uint64_t>(microseconds));
}

EMSCRIPTEN_KEEPALIVE void vc_note_turnaround(double microseconds)
{
    Console().engine.NoteTurnaround(static_cast<uint64_t>(microseconds));
}

// Every port is closed.
EMSCRIPTEN_KEEPALIVE void vc_closed()
{
    Console().engine.Closed();
}

// The journal lines written since the last call, each ended by a newline.
EMSCRIPTEN_KEEPALIVE const char* vc_take_journal()
{
    return HandOut(Console().journal->Take());
}

EMSCRIPTEN_KEEPALIVE const char* vc_stats()
{
    const ConsoleStats& s = Console().engine.Stats();
    return HandOut("{\"received\":" + std::to_string(s.received) + ",\"replies\":" + std::to_string(s.replies) +
                   ",\"violations\":" + std::to_string(s.violations) + ",\"dropped\":" + std::to_string(s.dropped) +
                   ",\"refused\":" + std::to_string(s.refused) +
                   ",\"configProblems\":" + std::to_string(Console().configProblems) +
                   ",\"replyDelayUs\":" + std::to_string(s.replyDelayUs) +
                   ",\"turnaroundUs\":" + std::to_string(s.turnaroundUs) +
                   ",\"turnarounds\":" + std::to_string(s.turnarounds) + '}');
}

// The 4 MB of the flash model, in the module's memory (null when it could not be allocated).
EMSCRIPTEN_KEEPALIVE const uint8_t* vc_flash()
{
    return Console().engine.Flash().Valid() ? Console().engine.Flash().Data() : nullptr;
}

} // extern "C"
