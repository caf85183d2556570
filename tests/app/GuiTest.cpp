// The dialog program driven from another process as a user drives it, with the virtual console
// as its MIDI devices, in one walk: under other port names, chosen with Ports... and remembered,
// with the console's own names, Browse and Cancel, a damaged file, a whole update, the About box
// through the system menu. Screenshots go to the build tree.
// Programs left behind by a failure end with the Wine server that run-gui-tests.sh stops.
#include "ConsoleConfig.h"
#include "FirmwareGenerator.h"
#include "RememberedPorts.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using vconsole::ToWindowsPath;   // the build hands over host paths

const std::string kWork = ToWindowsPath(GUI_WORK_DIR);
const char* const kCaption = "PQ4400 Version up Program";

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000)
{
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; !condition(); Sleep(20)) {
        if (GetTickCount64() > end)
            return false;
    }
    return true;
}

// Read without a message to the window's thread, which may be busy.
std::string Text(HWND window)
{
    wchar_t text[256] = {};
    const int length = InternalGetWindowText(window, text, 256);
    return std::string(text, text + length);
}

// Asks the window's thread, which must be idle: -1 when it does not answer.
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, const void* lParam = nullptr)
{
    DWORD_PTR result = 0;
    const bool answered = SendMessageTimeoutW(window, message, wParam, LPARAM(lParam), SMTO_NORMAL, 200, &result);
    return answered ? LRESULT(result) : -1;
}

std::wstring EditText(HWND edit)
{
    wchar_t text[512] = {};
    Ask(edit, WM_GETTEXT, std::size(text), text);
    return text;
}

// A visible window of process `pid` with this class (and caption, when given), once it is there.
HWND WaitFor(DWORD pid, const std::string& className, const std::string& caption = "", DWORD timeoutMs = 30000)
{
    HWND found = nullptr;
    WaitUntil([&] {
        const char* title = caption.empty() ? nullptr : caption.c_str();
        while ((found = FindWindowExA(nullptr, found, className.c_str(), title)) != nullptr) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == pid && IsWindowVisible(found))
                return true;
        }
        return false;
    }, timeoutMs);
    return found;
}

PROCESS_INFORMATION Spawn(std::string commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    EXPECT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    return process;
}

PROCESS_INFORMATION Start(const std::string& config)
{
    static int count = 0;
    CreateDirectoryA(kWork.c_str(), nullptr);
    CreateDirectoryA(ToWindowsPath(SCREENSHOT_DIR).c_str(), nullptr);
    const std::string path = kWork + "\\console" + std::to_string(++count) + ".txt";
    std::ofstream(path) << config << "\n";
    SetEnvironmentVariableA("VCONSOLE_CONFIG", path.c_str());
    return Spawn("\"" + ToWindowsPath(VERSIONUP_EXE) + "\"");
}

DWORD Escape(const PROCESS_INFORMATION& process, HWND window)
{
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    DWORD code = 99;
    WaitForSingleObject(process.hProcess, 30000);
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}

// The whole screen of the X server, or the window given, taken by ImageMagick, which Wine starts
// as a Unix program.
void Screenshot(const std::string& name, HWND window = nullptr)
{
    const std::string png = std::string(SCREENSHOT_DIR) + "/" + name + ".png";
    RECT r{};
    std::string crop;
    if (window && GetWindowRect(window, &r))
        crop = "-crop " + std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
               std::to_string(r.left) + "+" + std::to_string(r.top) + " +repage ";
    DeleteFileA(ToWindowsPath(png).c_str());
    Spawn("/bin/sh -c \"import -window root " + crop + "png:" + png + ".part && mv " + png + ".part " + png + "\"");
    const std::string taken = ToWindowsPath(png);
    EXPECT_TRUE(WaitUntil([&] { return GetFileAttributesA(taken.c_str()) != INVALID_FILE_ATTRIBUTES; })) << name;
}

std::vector<COLORREF> MiddleRow(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    const HDC screen = GetDC(nullptr);
    std::vector<COLORREF> row;
    for (int x = r.left; x < r.right; ++x)
        row.push_back(GetPixel(screen, x, (r.top + r.bottom) / 2));
    ReleaseDC(nullptr, screen);
    return row;
}

struct CMainWindow {
    HWND Item(int id) const { return GetDlgItem(window, id); }
    std::string Status() const { return Text(Item(IDC_STATUS)); }
    std::string Bar() const
    {
        const HWND bar = Item(IDC_PROGRESS);
        return std::to_string(Ask(bar, PBM_GETRANGE, TRUE)) + "-" + std::to_string(Ask(bar, PBM_GETRANGE, FALSE)) +
               " at " + std::to_string(Ask(bar, PBM_GETPOS));
    }
    // The status line reads `status` and the thread is back in its message loop, past the
    // dropping of input queued meanwhile (whose PeekMessage already answers a sent message):
    // the buttons are enabled again only after it.
    bool Ended(const std::string& status) const
    {
        return WaitUntil([&] {
            return Status() == status && IsWindowEnabled(Item(IDC_LOAD)) && Ask(window, WM_NULL) != -1;
        }, 120000);
    }
    std::string Ports() const { return Text(Item(IDC_OUTPUT_PORT)) + "|" + Text(Item(IDC_INPUT_PORT)); }
    bool Load(const std::string& status) const
    {
        PostMessageA(Item(IDC_LOAD), BM_CLICK, 0, 0);
        return Ended(status);
    }
    HWND Browse() const
    {
        // The Open dialog of the Browse before may still be on its way out: not the one to find.
        WaitUntil([&] { return WaitFor(process.dwProcessId, "#32770", "Open", 0) == nullptr; });
        PostMessageA(Item(IDC_BROWSE), BM_CLICK, 0, 0);
        return WaitFor(process.dwProcessId, "#32770", "Open");
    }
    void Choose(const std::filesystem::path& path) const
    {
        const HWND open = Browse();
        HWND name = GetDlgItem(open, 1148);
        if (HWND inner = FindWindowExA(name, nullptr, "Edit", nullptr))
            name = inner;
        ASSERT_NE(Ask(name, WM_SETTEXT, 0, path.c_str()), -1);
        PostMessageA(open, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(WaitUntil([&] { return EditText(Item(IDC_FILENAME)) == path.wstring(); }));
    }

    PROCESS_INFORMATION process;
    HWND window = WaitFor(process.dwProcessId, "#32770", kCaption);
};

std::filesystem::path WriteFirmware(const std::filesystem::path& name, const CSyntheticFirmware& firmware)
{
    const std::filesystem::path path = (kWork / name).make_preferred();
    std::filesystem::create_directories(path.parent_path());
    EXPECT_TRUE(WriteFileBytes(path, firmware.Bytes()));
    return path;
}

// The texts of the labels that do not fit their control in the font the platform gives the
// dialog: the program's template, made into a dialog here, where its font can be measured.
std::string LabelsCutShort(int templateId)
{
    InitCommonControls();   // the template's progress bar
    const HMODULE program = LoadLibraryExA(ToWindowsPath(VERSIONUP_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HWND dialog = CreateDialogParamW(program, MAKEINTRESOURCEW(templateId), nullptr,
                                           [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    const HDC dc = GetDC(dialog);
    SelectObject(dc, HGDIOBJ(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    std::string cut;
    for (HWND label = nullptr; (label = FindWindowExA(dialog, label, "Static", nullptr)) != nullptr;) {
        const std::string text = Text(label);
        SIZE extent{};
        RECT room{};
        GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &extent);
        GetClientRect(label, &room);
        cut += extent.cx > room.right ? text + "|" : "";
    }
    ReleaseDC(dialog, dc);
    DestroyWindow(dialog);
    FreeLibrary(program);
    return cut;
}

} // namespace

TEST(VersionUpGui, AWalkThroughTheProgram)
{
    EXPECT_EQ(LabelsCutShort(IDD_VERSIONUP_DIALOG) + LabelsCutShort(IDD_PORTS), "");
    const CRememberedPorts none({});
    // Without the console's own ports the driver message comes first, in a box titled with the
    // program's name. Its replies come in 1-byte pieces, as newer MIDI stacks may hand them on.
    const PROCESS_INFORMATION alone = Start(kRenamedTwice + "\npieces 1");
    const HWND box = WaitFor(alone.dwProcessId, "#32770", "versionup");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(FindWindowExA(box, nullptr, "Static", "KALDIR USB Driver not found!!"), nullptr);
    EXPECT_EQ(WaitFor(alone.dwProcessId, "#32770", kCaption, 0), nullptr);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    const CMainWindow without{alone};
    EXPECT_TRUE(without.Ended("KALDIR USB Driver not found!!"));
    EXPECT_EQ(without.Ports(), "|");
    // The user chooses the console's, the second of two same-named pairs; the first is preselected.
    PostMessageA(without.Item(IDC_PORTS), BM_CLICK, 0, 0);
    const HWND chooser = WaitFor(alone.dwProcessId, "#32770", "Ports");
    ASSERT_NE(chooser, nullptr);
    const HWND outs = GetDlgItem(chooser, IDC_OUTPUT_LIST), ins = GetDlgItem(chooser, IDC_INPUT_LIST);
    EXPECT_EQ(Ask(outs, CB_GETCOUNT) * 10 + Ask(ins, CB_GETCOUNT), 32);
    EXPECT_EQ(EditText(outs), L"Other Synth  (manufacturer 1, product 2)");
    Ask(outs, CB_SETCURSEL, 2);
    Ask(ins, CB_SETCURSEL, 1);
    EXPECT_EQ(EditText(outs), L"PQ4400 MIDI 2.0 Out  (manufacturer 65535, product 65535)");
    Screenshot("ports-dialog");
    PostMessageA(chooser, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitUntil([&] { return without.Ports() == "PQ4400 MIDI 2.0 Out|PQ4400 MIDI 2.0 In"; }));
    without.Choose(WriteFirmware("small.bin", CSyntheticFirmware().FillRegionRandom(0, 1)));
    EXPECT_TRUE(without.Load("Complete!"));
    Screenshot("chosen-ports");
    EXPECT_EQ(Escape(alone, without.Item(IDC_BROWSE)), 0u);
    // The next start takes the pair remembered, the second of its names, without a message.
    const CMainWindow again{Start(kRenamedTwice)};
    ASSERT_TRUE(again.Ended(""));
    EXPECT_EQ(again.Ports(), "PQ4400 MIDI 2.0 Out|PQ4400 MIDI 2.0 In");
    PostMessageA(again.Item(IDC_PORTS), BM_CLICK, 0, 0);
    const HWND inUse = WaitFor(again.process.dwProcessId, "#32770", "Ports");
    EXPECT_EQ(Ask(GetDlgItem(inUse, IDC_OUTPUT_LIST), CB_GETCURSEL) * 10 + Ask(GetDlgItem(inUse, IDC_INPUT_LIST), CB_GETCURSEL), 21);
    PostMessageA(inUse, WM_COMMAND, IDCANCEL, 0);   // before the Escape for the window, in the same queue
    EXPECT_EQ(Escape(again.process, again.Item(IDC_BROWSE)), 0u);

    const std::string journal = kWork + "\\journal.txt";
    // Slow enough to watch, replies in 6-byte pieces. The console's own ports win over the pair
    // remembered.
    const CMainWindow main{Start("latency_ms 50\npieces 6\njournal " + journal + "\n" + kRenamed +
                                 "\nout 37 4 KALDIR USB OUT\nin 37 5 KALDIR USB IN")};
    ASSERT_TRUE(main.Ended(""));
    EXPECT_EQ(main.Ports(), "KALDIR USB OUT|KALDIR USB IN");
    EXPECT_EQ(main.Bar(), "0-35 at 0");
    const std::filesystem::path broken = WriteFirmware("broken.bin", CSyntheticFirmware().FillRegion(0, 0x3C).BreakChecksum(2));
    main.Choose(broken);
    EXPECT_TRUE(main.Load("File format error!!"));
    // Cancel empties the field and the path, whatever had been chosen; typing sets no path.
    const HWND open = main.Browse();
    Screenshot("open-dialog");
    // On a loaded machine Wine's dialog may still be settling and let a Cancel go: it is given
    // again for as long as the dialog is there.
    ASSERT_TRUE(WaitUntil([&] {
        if (IsWindow(open))
            PostMessageA(open, WM_COMMAND, IDCANCEL, 0);
        return EditText(main.Item(IDC_FILENAME)).empty();
    }));
    Ask(main.Item(IDC_FILENAME), WM_SETTEXT, 0, broken.c_str());
    EXPECT_TRUE(main.Load("File not found!!"));

    // A whole update. The window's thread runs it away from its message loop: the status line
    // and the bar are painted all the same.
    CSyntheticFirmware firmware;
    firmware.FillRegionRandom(0, 11).FillRegionRandom(3, 12);
    main.Choose(WriteFirmware(u8"Загрузки Ελληνικά ダウンロード/good.bin", firmware));
    const std::vector<COLORREF> status = MiddleRow(main.Item(IDC_STATUS));
    const std::vector<COLORREF> bar = MiddleRow(main.Item(IDC_PROGRESS));
    PostMessageA(main.Item(IDC_LOAD), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return main.Status() == "Device open...." && Ask(main.window, WM_NULL) == -1; }));
    // An impatient click meanwhile does nothing, then or later: the buttons are disabled.
    EXPECT_FALSE(IsWindowEnabled(main.Item(IDC_LOAD)) || IsWindowEnabled(main.Item(IDC_BROWSE)) ||
                 IsWindowEnabled(main.Item(IDC_PORTS)));
    PostMessageA(main.Item(IDC_LOAD), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] {
        return MiddleRow(main.Item(IDC_STATUS)) != status && MiddleRow(main.Item(IDC_PROGRESS)) != bar;
    }, 3000));
    ASSERT_TRUE(WaitUntil([&] { return main.Status() == "Installing.... ( 1/ 2)"; }));
    Screenshot("installing");
    ASSERT_TRUE(main.Ended("Complete!"));
    EXPECT_EQ(main.Bar(), "0-16 at 16");   // as region 3's 16 blocks left it
    Screenshot("complete");

    // The About entry, last in the system menu. (Its mnemonic A is also that of "About Wine".)
    PostMessageA(main.window, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    ASSERT_NE(WaitFor(main.process.dwProcessId, "#32768"), nullptr);
    PostMessageA(main.window, WM_KEYDOWN, VK_END, 0);
    PostMessageA(main.window, WM_KEYDOWN, VK_RETURN, 0);
    const HWND about = WaitFor(main.process.dwProcessId, "#32770", "About PQ4400 Version up Program");
    ASSERT_NE(about, nullptr);
    EXPECT_NE(FindWindowExA(about, nullptr, "Static", "PQ4400 Version up Program V1.02"), nullptr);
    Screenshot("about");
    PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(about); }));
    EXPECT_TRUE(main.Ended("Complete!"));
    // A real click on Load still starts an update; the console heard one update in all.
    main.Choose(broken);
    EXPECT_TRUE(main.Load("File format error!!"));
    EXPECT_EQ(Escape(main.process, main.Item(IDC_BROWSE)), 0u);
    std::ifstream lines(journal);
    int received = 0;
    for (std::string line; std::getline(lines, line);)
        received += line.starts_with("rx ");
    EXPECT_EQ(received, 1 + 4 + 16 + 32 + 1);   // U, 4 erases, regions 0 and 3, final
}

// The README's picture (scripts/readme-picture.sh): the dialog alone, amid an update of every
// region of the run script's sample, from a user's Downloads folder.
TEST(VersionUpGui, DISABLED_ReadmePicture)
{
    const std::filesystem::path file = L"C:\\users\\kim\\Downloads\\PQ4400_V103.bin";
    std::filesystem::create_directories(file.parent_path());
    ASSERT_TRUE(WriteFileBytes(file, SampleFirmware().Bytes()));
    const CMainWindow main{Start("latency_ms 20")};
    ASSERT_TRUE(main.Ended(""));
    main.Choose(file);
    PostMessageA(main.Item(IDC_LOAD), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return main.Status() == "Installing.... (20/35)"; }, 120000)) << main.Status();
    Sleep(300);   // a part of the region on the bar
    Screenshot("readme", main.window);
    TerminateProcess(main.process.hProcess, 0);
}
