#include "ConsoleDriver.h"

#include "HeaderFlags.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

using namespace vconsole;

namespace {

constexpr WORD kDriverVersion = 0x0100;
constexpr DWORD kUnloadWaitMs = 1000;

// Reads the configuration file; false when it cannot be read.
bool ReadText(const std::string& path, std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char chunk[4096];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, n);
    std::fclose(file);
    return true;
}

// Files named in the configuration may be Unix paths, as the tests write them.
void MapPaths(Behaviour& behaviour)
{
    behaviour.journal = ToWindowsPath(behaviour.journal);
    behaviour.flashDump = ToWindowsPath(behaviour.flashDump);
    behaviour.flashLoad = ToWindowsPath(behaviour.flashLoad);
}

bool Listed(const std::vector<uint32_t>& indices, UINT device)
{
    return std::find(indices.begin(), indices.end(), device) != indices.end();
}

// Without console_out (console_in) lines every device of that direction is the console.
bool IsConsole(const std::vector<uint32_t>& consoleDevices, UINT device)
{
    return consoleDevices.empty() || Listed(consoleDevices, device);
}

template <size_t N>
void CopyName(WCHAR (&target)[N], const std::string& name)
{
    size_t n = (std::min)(name.size(), N - 1);
    for (size_t i = 0; i < n; ++i)
        target[i] = static_cast<unsigned char>(name[i]);
    target[n] = 0;
}

} // namespace

CConsoleDriver& CConsoleDriver::Instance()
{
    static CConsoleDriver driver;
    return driver;
}

CConsoleDriver::CConsoleDriver()
{
    LoadConfiguration();
}

void CConsoleDriver::LoadConfiguration()
{
    std::string text;
    std::vector<ConfigError> unreadable;
    char path[MAX_PATH * 4];
    DWORD length = GetEnvironmentVariableA("VCONSOLE_CONFIG", path, sizeof path);
    if (length >= sizeof path) {
        unreadable.push_back({0, "VCONSOLE_CONFIG is too long"});
    } else if (length > 0) {
        std::string file = ToWindowsPath(path);
        if (!ReadText(file, text))
            unreadable.push_back({0, "cannot read the configuration " + file});
    }
    ParsedConfig parsed = ParseConsoleConfig(text);
    parsed.errors.insert(parsed.errors.begin(), unreadable.begin(), unreadable.end());
    MapPaths(parsed.config.behaviour);
    m_outputs = parsed.config.outputs;
    m_inputs = parsed.config.inputs;
    m_outPorts.resize(m_outputs.size());
    m_inPorts.resize(m_inputs.size());
    m_configProblems = m_engine.Configure(parsed.config.behaviour, parsed.errors);
}

DWORD CConsoleDriver::OutMessage(UINT device, UINT message, DWORD_PTR param1, DWORD_PTR param2)
{
    switch (message) {
    case DRVM_INIT:
    case DRVM_EXIT:
        return MMSYSERR_NOERROR;
    case MODM_GETNUMDEVS:
        return static_cast<DWORD>(m_outputs.size());
    case MODM_GETDEVCAPS:
        return GetOutCaps(device, reinterpret_cast<MIDIOUTCAPSW*>(param1), param2);
    case MODM_OPEN:
        return OpenOut(device, reinterpret_cast<const MIDIOPENDESC*>(param1), static_cast<DWORD>(param2));
    case MODM_CLOSE:
        return Close(device, &CConsoleDriver::ReturnOutHeaders);
    case MODM_PREPARE:
        return Prepare(reinterpret_cast<MIDIHDR*>(param1), param2);
    case MODM_UNPREPARE:
        return Unprepare(reinterpret_cast<MIDIHDR*>(param1), param2);
    case MODM_DATA:
        return ShortData(device, static_cast<DWORD>(param1));
    case MODM_LONGDATA:
        return LongData(device, reinterpret_cast<MIDIHDR*>(param1));
    case MODM_RESET: {
        CHold delivery(m_delivery);
        return ReturnOutHeaders(device, false);
    }
    case MODM_GETVOLUME:
        return param1 ? MMSYSERR_NOTSUPPORTED : MMSYSERR_INVALPARAM;
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
}

DWORD CConsoleDriver::InMessage(UINT device, UINT message, DWORD_PTR param1, DWORD_PTR param2)
{
    switch (message) {
    case DRVM_INIT:
    case DRVM_EXIT:
        return MMSYSERR_NOERROR;
    case MIDM_GETNUMDEVS:
        return static_cast<DWORD>(m_inputs.size());
    case MIDM_GETDEVCAPS:
        return GetInCaps(device, reinterpret_cast<MIDIINCAPSW*>(param1), param2);
    case MIDM_OPEN:
        return OpenIn(device, reinterpret_cast<const MIDIOPENDESC*>(param1), static_cast<DWORD>(param2));
    case MIDM_CLOSE:
        return Close(device, &CConsoleDriver::ReturnInBuffers);
    case MIDM_PREPARE:
        return Prepare(reinterpret_cast<MIDIHDR*>(param1), param2);
    case MIDM_UNPREPARE:
        return Unprepare(reinterpret_cast<MIDIHDR*>(param1), param2);
    case MIDM_ADDBUFFER:
        return AddBuffer(device, reinterpret_cast<MIDIHDR*>(param1));
    case MIDM_START:
    case MIDM_STOP:
        return StartIn(device, message == MIDM_START);
    case MIDM_RESET: {
        CHold delivery(m_delivery);
        return ReturnInBuffers(device, false);
    }
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
}

DWORD CConsoleDriver::GetOutCaps(UINT device, MIDIOUTCAPSW* caps, DWORD_PTR size)
{
    CHold hold(m_state);
    if (device >= m_outputs.size())
        return MMSYSERR_BADDEVICEID;
    if (!caps)
        return MMSYSERR_INVALPARAM;
    if (Listed(m_engine.Settings().unreadableOut, device))
        return MMSYSERR_ERROR;
    MIDIOUTCAPSW full = {};
    full.wMid = m_outputs[device].mid;
    full.wPid = m_outputs[device].pid;
    full.vDriverVersion = kDriverVersion;
    CopyName(full.szPname, m_outputs[device].name);
    full.wTechnology = MOD_MIDIPORT;
    full.wChannelMask = 0xFFFF;
    std::memcpy(caps, &full, std::min<DWORD_PTR>(size, sizeof full));
    return MMSYSERR_NOERROR;
}

DWORD CConsoleDriver::GetInCaps(UINT device, MIDIINCAPSW* caps, DWORD_PTR size)
{
    CHold hold(m_state);
    if (device >= m_inputs.size())
        return MMSYSERR_BADDEVICEID;
    if (!caps)
        return MMSYSERR_INVALPARAM;
    if (Listed(m_engine.Settings().unreadableIn, device))
        return MMSYSERR_ERROR;
    MIDIINCAPSW full = {};
    full.wMid = m_inputs[device].mid;
    full.wPid = m_inputs[device].pid;
    full.vDriverVersion = kDriverVersion;
    CopyName(full.szPname, m_inputs[device].name);
    std::memcpy(caps, &full, std::min<DWORD_PTR>(size, sizeof full));
    return MMSYSERR_NOERROR;
}

DWORD CConsoleDriver::OpenOut(UINT device, const MIDIOPENDESC* desc, DWORD flags)
{
    CHold lifecycle(m_lifecycle);
    Client client;
    {
        CHold hold(m_state);
        if (device >= m_outputs.size())
            return MMSYSERR_BADDEVICEID;
        if (!desc)
            return MMSYSERR_INVALPARAM;
        if (m_outPorts[device].open)
            return MMSYSERR_ALLOCATED;
        client = {true, desc->dwCallback, flags, reinterpret_cast<HDRVR>(desc->hMidi), desc->dwInstance};
        m_outPorts[device] = client;
    }
    // Without its thread the driver would never report a message sent.
    if (!StartWorker()) {
        CHold hold(m_state);
        m_outPorts[device].open = false;
        return MMSYSERR_NOMEM;
    }
    CHold delivery(m_delivery);
    Callback(client, MOM_OPEN, 0, 0);
    return MMSYSERR_NOERROR;
}

DWORD CConsoleDriver::OpenIn(UINT device, const MIDIOPENDESC* desc, DWORD flags)
{
    CHold lifecycle(m_lifecycle);
    Client client;
    {
        CHold hold(m_state);
        if (device >= m_inputs.size())
            return MMSYSERR_BADDEVICEID;
        if (!desc)
            return MMSYSERR_INVALPARAM;
        if (m_inPorts[device].client.open || m_engine.Settings().failOpenIn)
            return MMSYSERR_ALLOCATED;
        client = {true, desc->dwCallback, flags, reinterpret_cast<HDRVR>(desc->hMidi), desc->dwInstance};
        m_inPorts[device] = {client, false, 0, {}};
    }
    // Without its thread the driver would never report a message sent.
    if (!StartWorker()) {
        CHold hold(m_state);
        m_inPorts[device].client.open = false;
        return MMSYSERR_NOMEM;
    }
    CHold delivery(m_delivery);
    Callback(client, MIM_OPEN, 0, 0);
    return MMSYSERR_NOERROR;
}

// Wine's winmm frees the handle whatever MODM_CLOSE/MIDM_CLOSE answers, so a close always
// closes: what the client left queued is handed back first, and the answer tells it that it
// closed too early.
DWORD CConsoleDriver::Close(UINT device, DWORD (CConsoleDriver::*returnQueued)(UINT device, bool close))
{
    CHold lifecycle(m_lifecycle);
    DWORD result = MMSYSERR_NOERROR;
    {
        CHold delivery(m_delivery);
        result = (this->*returnQueued)(device, true);
    }
    if (result != MMSYSERR_INVALHANDLE)
        StopWorkerWhenAllClosed();
    return result;
}

CConsoleDriver::Client* CConsoleDriver::OpenedOut(UINT device)
{
    return device < m_outPorts.size() && m_outPorts[device].open ? &m_outPorts[device] : nullptr;
}

CConsoleDriver::InPort* CConsoleDriver::OpenedIn(UINT device)
{
    return device < m_inPorts.size() && m_inPorts[device].client.open ? &m_inPorts[device] : nullptr;
}

bool CConsoleDriver::AnyOpen() const
{
    return std::any_of(m_outPorts.begin(), m_outPorts.end(), [](const Client& c) { return c.open; }) ||
           std::any_of(m_inPorts.begin(), m_inPorts.end(), [](const InPort& p) { return p.client.open; });
}

bool CConsoleDriver::ConsoleHears(UINT outDevice) const
{
    return IsConsole(m_engine.Settings().consoleOut, outDevice);
}

CConsoleDriver::InPort* CConsoleDriver::AnsweringInput()
{
    for (UINT device = 0; device < m_inPorts.size(); ++device) {
        if (m_inPorts[device].client.open && IsConsole(m_engine.Settings().consoleIn, device))
            return &m_inPorts[device];
    }
    return nullptr;
}

DWORD CConsoleDriver::ShortData(UINT device, DWORD packed)
{
    CHold hold(m_state);
    if (!OpenedOut(device))
        return MMSYSERR_INVALHANDLE;
    if (ConsoleHears(device))
        m_engine.ReceiveShort(packed);
    return MMSYSERR_NOERROR;
}

DWORD CConsoleDriver::LongData(UINT device, MIDIHDR* header)
{
    if (!header || !header->lpData)
        return MMSYSERR_INVALPARAM;
    LONGLONG arrival = Now();
    Answer answer;
    Client client;
    {
        CHold hold(m_state);
        if (!OpenedOut(device))
            return MMSYSERR_INVALHANDLE;
        if (DWORD refusal = QueueRefusal(*header))
            return refusal;
        client = m_outPorts[device];
        if (ConsoleHears(device)) {
            if (m_replyHandedOver != 0)
                m_engine.NoteTurnaround(Microseconds(arrival - std::exchange(m_replyHandedOver, 0)));
            answer = m_engine.Receive(reinterpret_cast<const uint8_t*>(header->lpData), header->dwBufferLength);
            if (answer.refused)
                return MMSYSERR_ERROR;
        }
        MarkQueued(*header);
        // In the order they fall due.
        if (answer.lateDone) {
            const LONGLONG due = arrival + answer.doneDelayMs * (TicksPerSecond() / 1000);
            const auto later = std::find_if(m_lateDones.begin(), m_lateDones.end(),
                                            [due](const LateDone& l) { return l.due > due; });
            m_lateDones.insert(later, {client, header, due});
        }
    }
    // A kept header stays queued for good, a late one until it is due: no job hands it back.
    if (answer.kept || answer.lateDone)
        header = nullptr;
    // An early reply overtakes MOM_DONE: it reaches the client before midiOutLongMsg returns.
    if (answer.early) {
        DeliverAnswer(answer, arrival);
        answer.events.clear();
    }
    CHold hold(m_state);
    m_jobs.push_back({device, header, arrival, std::move(answer)});
    WakeConditionVariable(&m_jobsChanged);
    return MMSYSERR_NOERROR;
}

DWORD CConsoleDriver::ReturnOutHeaders(UINT device, bool close)
{
    std::vector<MIDIHDR*> pending;
    Client client;
    {
        CHold hold(m_state);
        Client* port = OpenedOut(device);
        if (!port)
            return MMSYSERR_INVALHANDLE;
        for (Job& job : m_jobs) {
            if (job.outHeader && job.device == device)
                pending.push_back(std::exchange(job.outHeader, nullptr));
        }
        client = *port;
        if (close)
            port->open = false;
    }
    for (MIDIHDR* header : pending) {
        MarkDone(*header);
        Callback(client, MOM_DONE, reinterpret_cast<DWORD_PTR>(header), 0);
    }
    if (!close)
        return MMSYSERR_NOERROR;
    Callback(client, MOM_CLOSE, 0, 0);
    return pending.empty() ? MMSYSERR_NOERROR : MIDIERR_STILLPLAYING;
}

DWORD CConsoleDriver::AddBuffer(UINT device, MIDIHDR* header)
{
    if (!header || !header->lpData || header->dwBufferLength == 0)
        return MMSYSERR_INVALPARAM;
    CHold hold(m_state);
    InPort* in = OpenedIn(device);
    if (!in)
        return MMSYSERR_INVALHANDLE;
    if (DWORD refusal = QueueRefusal(*header))
        return refusal;
    MarkQueued(*header);
    header->dwBytesRecorded = 0;
    in->buffers.push_back(header);
    return MMSYSERR_NOERROR;
}

DWORD CConsoleDriver::StartIn(UINT device, bool start)
{
    CHold hold(m_state);
    InPort* in = OpenedIn(device);
    if (!in)
        return MMSYSERR_INVALHANDLE;
    if (start && !in->started)
        in->startTime = Now();
    in->started = start;
    return MMSYSERR_NOERROR;
}

DWORD CConsoleDriver::ReturnInBuffers(UINT device, bool close)
{
    std::deque<MIDIHDR*> queued;
    Client client;
    DWORD timestamp = 0;
    bool keep = false;
    {
        CHold hold(m_state);
        InPort* in = OpenedIn(device);
        if (!in)
            return MMSYSERR_INVALHANDLE;
        timestamp = InputTimestamp(*in);
        in->started = false;
        queued.swap(in->buffers);
        client = in->client;
        if (close)
            in->client.open = false;
        keep = m_engine.Settings().keepInput;
    }
    const bool held = !queued.empty();
    // keep_input: the driver loses track of them, queued as they are.
    if (keep)
        queued.clear();
    for (MIDIHDR* header : queued) {
        header->dwBytesRecorded = 0;
        MarkDone(*header);
        Callback(client, MIM_LONGDATA, reinterpret_cast<DWORD_PTR>(header), timestamp);
    }
    if (!close)
        return MMSYSERR_NOERROR;
    Callback(client, MIM_CLOSE, 0, 0);
    return held ? MIDIERR_STILLPLAYING : MMSYSERR_NOERROR;
}

void CConsoleDriver::Unload()
{
    CHold lifecycle(m_lifecycle);
    {
        CHold hold(m_state);
        for (Client& client : m_outPorts)
            client.open = false;
        for (InPort& in : m_inPorts)
            in.client.open = false;
        m_lateDones.clear();
    }
    // winmm may unload its drivers while holding the loader lock, which a thread needs to exit.
    StopWorkerWhenAllClosed(kUnloadWaitMs);
}

int CConsoleDriver::Configure(const char* text)
{
    ParsedConfig parsed = ParseConsoleConfig(text ? text : "");
    if (parsed.config.devicesGiven)
        parsed.errors.push_back({0, "the device lists cannot change while the driver is loaded"});
    MapPaths(parsed.config.behaviour);
    CHold hold(m_state);
    m_configProblems = m_engine.Configure(parsed.config.behaviour, parsed.errors);
    return m_configProblems;
}

uint32_t CConsoleDriver::ReadFlash(uint32_t address, uint8_t* out, uint32_t count)
{
    if (!out)
        return 0;
    CHold hold(m_state);
    return m_engine.Flash().Read(address, out, count);
}

void CConsoleDriver::GetStats(VConsoleStats* stats)
{
    if (!stats)
        return;
    CHold hold(m_state);
    const ConsoleStats& s = m_engine.Stats();
    stats->received = s.received;
    stats->replies = s.replies;
    stats->violations = s.violations;
    stats->dropped = s.dropped;
    stats->refused = s.refused;
    stats->configProblems = static_cast<uint32_t>(m_configProblems);
    stats->replyDelayUs = s.replyDelayUs;
    stats->turnaroundUs = s.turnaroundUs;
    stats->turnarounds = s.turnarounds;
}

int CConsoleDriver::GetViolation(uint32_t index, char* text, uint32_t size)
{
    CHold hold(m_state);
    const std::vector<std::string>& violations = m_engine.Violations();
    if (index >= violations.size())
        return -1;
    const std::string& v = violations[index];
    if (text && size > 0) {
        size_t n = std::min<size_t>(v.size(), size - 1);
        std::memcpy(text, v.data(), n);
        text[n] = '\0';
    }
    return static_cast<int>(v.size());
}
