#include "ConsoleDisplay.h"

#include <windows.h>

#include <string>
#include <string_view>

#include "ConsoleText.h"

namespace {

constexpr char kOutputLabel[] = "Output Port : ";
constexpr char kInputLabel[] = "Input Port : ";

constexpr int kBarWidth = 40;
constexpr int kBarLineWidth = kBarWidth + 10;   // "[", the bar, "] ", "nnn/nnn"

// The status texts and labels are plain ASCII: each character stands as it is.
std::wstring Widen(std::string_view ascii)
{
    return std::wstring(ascii.begin(), ascii.end());
}

// A character device that answers console requests is a terminal; a file, a pipe or the NUL
// device (also a character device) is not.
bool StdoutIsTerminal()
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return out != INVALID_HANDLE_VALUE && out != nullptr && GetFileType(out) == FILE_TYPE_CHAR &&
           GetConsoleMode(out, &mode) != 0;
}

} // namespace

CConsoleDisplay::CConsoleDisplay() : CConsoleDisplay(StdoutIsTerminal())
{
}

CConsoleDisplay::CConsoleDisplay(bool terminal) : m_terminal(terminal)
{
}

CConsoleDisplay::~CConsoleDisplay()
{
    if (m_barOnLine) {
        std::printf("\n");
        std::fflush(stdout);
    }
}

void CConsoleDisplay::ShowStatus(const char* text)
{
    std::snprintf(m_lastStatus, sizeof m_lastStatus, "%s", text);
    PrintLine(stdout, Widen(text));
}

// Every range the update sets starts at 0 and is followed by a position, which draws the bar.
void CConsoleDisplay::SetRange(int /*lower*/, int upper)
{
    m_upper = upper;
}

void CConsoleDisplay::SetPos(int position)
{
    m_position = position;
    DrawProgress();
}

void CConsoleDisplay::OffsetPos(int delta)
{
    m_position += delta;
    DrawProgress();
}

void CConsoleDisplay::ShowOutputPortName(const wchar_t* name)
{
    PrintLine(stdout, Widen(kOutputLabel) + name);
}

void CConsoleDisplay::ShowInputPortName(const wchar_t* name)
{
    PrintLine(stdout, Widen(kInputLabel) + name);
}

void CConsoleDisplay::ShowMessageBox(const char* text)
{
    PrintLine(stderr, Widen(text));
}

// On a terminal the line goes above the bar, which is drawn again below it. Port names may hold
// any character: every line goes out through the one text writer.
void CConsoleDisplay::PrintLine(std::FILE* stream, const std::wstring& line)
{
    const bool redraw = m_barOnLine;
    ClearBar();
    WriteText(stream, line + L"\n");
    if (redraw)
        DrawProgress();
}

void CConsoleDisplay::DrawProgress()
{
    // A position outside the range shows as the nearest bound, as on the dialog's bar.
    const int upper = m_upper > 0 ? m_upper : 0;
    const int shown = m_position < 0 ? 0 : (m_position > upper ? upper : m_position);
    if (!m_terminal) {
        if (shown == m_drawnPosition && upper == m_drawnUpper)
            return;
        m_drawnPosition = shown;
        m_drawnUpper = upper;
        std::printf("progress %d/%d\n", shown, upper);
        std::fflush(stdout);
        return;
    }
    char bar[kBarWidth + 1];
    const int filled = upper > 0 ? shown * kBarWidth / upper : 0;
    for (int i = 0; i < kBarWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::printf("\r[%s] %3d/%-3d", bar, shown, upper);
    std::fflush(stdout);
    m_barOnLine = true;
}

void CConsoleDisplay::ClearBar()
{
    if (!m_barOnLine)
        return;
    std::printf("\r%*s\r", kBarLineWidth, "");
    std::fflush(stdout);
    m_barOnLine = false;
}
