// The dialog program driven from another process as a user would drive it, with the virtual
// console as its MIDI devices. Each test leaves a screenshot in the build folder.
#include "Probe.h"
#include "Program.h"
#include "Screen.h"

#include "FirmwareGenerator.h"
#include "WinePath.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

using namespace gui;

namespace {
const std::string kProgram = ToWindowsPath(VERSIONUP_EXE);
const std::string kMenuProbe = ToWindowsPath(MENU_PROBE_DLL);
const std::string kWorkDir = ToWindowsPath(GUI_WORK_DIR);
const std::string kScreenshotDir = ToWindowsPath(SCREENSHOT_DIR);
constexpr char kDriverNotFound[] = "KALDIR USB Driver not found!!";

std::string Work(const std::string& name)
{
    return kWorkDir + "\\" + name;
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string WriteFirmware(const std::string& name, const CSyntheticFirmware& firmware)
{
    const std::string path = Work(name);
    EXPECT_TRUE(WriteFileBytes(path, firmware.Bytes())) << path;
    return path;
}

// `repaint`: have an idle program paint everything first; a busy one shows what it painted.
void Screenshot(const CProgram& program, const std::string& name, bool repaint = true)
{
    if (repaint)
        RepaintWindows(program.Pid());
    EXPECT_TRUE(SaveScreenshot(program.Pid(), kScreenshotDir + "\\" + name + ".png")) << name;
}

RECT ScreenRect(HWND window)
{
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return rect;
}

// The main window's controls.
struct MainWindow {
    explicit MainWindow(HWND main)
        : window(main), outName(::GetDlgItem(main, IDC_OUTPUT_PORT)), inName(::GetDlgItem(main, IDC_INPUT_PORT)),
          status(::GetDlgItem(main, IDC_STATUS)), progress(::GetDlgItem(main, IDC_PROGRESS)),
          fileName(::GetDlgItem(main, IDC_FILENAME)), browse(::GetDlgItem(main, IDC_BROWSE)),
          load(::GetDlgItem(main, IDC_LOAD))
    {
    }
    std::string Status() const { return Text(status); }
    bool StatusIs(const std::string& text, DWORD timeoutMs = kShortWaitMs) const
    {
        return WaitUntil([&] { return Status() == text; }, timeoutMs);
    }
    // The handler returned and the window reads messages again.
    bool Idle() const
    {
        return WaitUntil([&] { return Responds(window); });
    }
    // Presses Load and waits for the status the run ends with and for the window to be idle.
    ::testing::AssertionResult LoadEndsWith(const std::string& text) const
    {
        Click(load);
        if (!StatusIs(text))
            return ::testing::AssertionFailure() << "the status reads \"" << Status() << "\"";
        if (!Idle())
            return ::testing::AssertionFailure() << "the window stays busy";
        return ::testing::AssertionSuccess();
    }
    // The progress bar as "range 0-35, at 0".
    std::string Bar() const
    {
        const std::pair<int, int> range = ProgressRange(progress);
        return "range " + std::to_string(range.first) + "-" + std::to_string(range.second) + ", at " +
               std::to_string(ProgressPos(progress));
    }

    HWND window, outName, inName, status, progress, fileName, browse, load;
};

// The program's main window once it is shown and idle; nullptr when it does not get there.
HWND WaitIdleMainWindow(const CProgram& program)
{
    const HWND window = program.WaitMainWindow();
    return window != nullptr && MainWindow(window).Idle() ? window : nullptr;
}

// Presses Browse and returns the Open dialog.
HWND OpenBrowseDialog(const CProgram& program, const MainWindow& main)
{
    Click(main.browse);
    HWND open = nullptr;
    WaitUntil([&] { return (open = FindOwnedDialog(program.Pid(), main.window)) != nullptr; });
    return open;
}

void CloseAndWait(HWND dialog, int id)
{
    PostCommand(dialog, id);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }));
}

// Types the path into the Open dialog's file name box and confirms it.
void ChooseFile(const CProgram& program, const MainWindow& main, const std::string& path)
{
    const HWND open = OpenBrowseDialog(program, main);
    ASSERT_NE(open, nullptr);
    // Explorer style: the name box is combo box 1148 with an edit inside (itself 1148 on some
    // platforms); the old style has edit 1152.
    auto isEdit = [](HWND w) { return ::lstrcmpiA(ClassName(w).c_str(), "Edit") == 0; };
    HWND name = ::GetDlgItem(open, 1148);
    if (name != nullptr && !isEdit(name))
        name = FindChildWhere(name, isEdit);
    if (name == nullptr)
        name = ::GetDlgItem(open, 1152);
    ASSERT_NE(name, nullptr) << DescribeChildren(open);
    ASSERT_TRUE(SetText(name, path));
    CloseAndWait(open, IDOK);
    // The field is written once the Open dialog has returned.
    EXPECT_TRUE(WaitUntil([&] { return EditText(main.fileName) == path; })) << EditText(main.fileName);
    ASSERT_TRUE(main.Idle());
}

bool SameCentre(const RECT& a, const RECT& b)
{
    return std::abs((a.left + a.right) - (b.left + b.right)) <= 4 && std::abs((a.top + a.bottom) - (b.top + b.bottom)) <= 4;
}

void ExpectEndsWithExitCodeZero(const CProgram& program)
{
    DWORD exitCode = 1;
    EXPECT_TRUE(program.WaitExit(exitCode));
    EXPECT_EQ(exitCode, 0u);
}

void ExpectFlashEquals(const std::string& dumpPath, const std::vector<uint8_t>& image)
{
    const std::vector<uint8_t> flash = ReadBytes(dumpPath);
    ASSERT_EQ(flash.size(), image.size());
    size_t differing = 0;
    while (differing < flash.size() && flash[differing] == image[differing])
        ++differing;
    EXPECT_EQ(differing, flash.size()) << "first difference at flash address 0x" << std::hex << differing;
}
} // namespace

class VersionUpGui : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::CreateDirectoryA(kWorkDir.c_str(), nullptr);
        ::CreateDirectoryA(kScreenshotDir.c_str(), nullptr);
    }
};

TEST_F(VersionUpGui, StartsWithTheConsoleFoundThenBrowseCancelAndFailedLoads)
{
    CProgram program(kProgram, Work("console.txt"), "");
    ASSERT_TRUE(program.Started());
    const MainWindow main(WaitIdleMainWindow(program));
    ASSERT_NE(main.window, nullptr);

    EXPECT_EQ(Text(main.outName), "KALDIR USB OUT");
    EXPECT_EQ(Text(main.inName), "KALDIR USB IN");
    EXPECT_EQ(main.Status(), "");
    EXPECT_EQ(EditText(main.fileName), "");
    EXPECT_EQ(main.Bar(), "range 0-35, at 0");
    EXPECT_EQ(Focus(main.window), main.browse);
    EXPECT_TRUE(::GetWindowLongA(main.window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    for (const char* label : {"Output Port :", "Input Port :", "File Name :", "Status :"})
        EXPECT_NE(FindChild(main.window, "Static", label), nullptr) << label;
    // Centred on the screen, although the template lies at 0, 0.
    const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_TRUE(SameCentre(ScreenRect(main.window), work) || SameCentre(ScreenRect(main.window), screen));
    Screenshot(program, "start-with-console");

    // Load before any Browse: the path is empty.
    ASSERT_TRUE(main.LoadEndsWith("File not found!!"));

    // A block whose checksum does not match: refused before the ports are touched.
    const std::string broken = WriteFirmware("broken-checksum.bin", CSyntheticFirmware().FillRegion(0, 0x3C).BreakChecksum(2));
    ChooseFile(program, main, broken);
    ASSERT_TRUE(main.LoadEndsWith("File format error!!"));
    EXPECT_EQ(main.Bar(), "range 0-3, at 1");

    // Cancel empties the field and the path, although a file had been chosen.
    const HWND open = OpenBrowseDialog(program, main);
    ASSERT_NE(open, nullptr);
    Screenshot(program, "open-dialog");
    CloseAndWait(open, IDCANCEL);
    EXPECT_TRUE(WaitUntil([&] { return EditText(main.fileName).empty(); }));
    ASSERT_TRUE(main.Idle());
    // Neither the old path nor text typed into the field is used: the load finds no file.
    ASSERT_TRUE(SetText(main.fileName, broken));
    ASSERT_TRUE(main.LoadEndsWith("File not found!!"));

    // Escape ends the program.
    ::PostMessageA(main.browse, WM_KEYDOWN, VK_ESCAPE, 0);
    ExpectEndsWithExitCodeZero(program);
}

TEST_F(VersionUpGui, WithoutTheConsoleTheDriverMessageComesFirst)
{
    CProgram program(kProgram, Work("no-console.txt"), "no_devices\n");
    ASSERT_TRUE(program.Started());
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindTopLevel(program.Pid(), "#32770", "versionup")) != nullptr; }));
    EXPECT_NE(FindChild(box, "Static", kDriverNotFound), nullptr);
    // The message box comes before the main window is shown.
    EXPECT_EQ(FindTopLevel(program.Pid(), "#32770", "PQ4400 Version up Program"), nullptr);
    Screenshot(program, "driver-not-found-box");

    CloseAndWait(box, IDOK);
    const MainWindow main(WaitIdleMainWindow(program));
    ASSERT_NE(main.window, nullptr);
    EXPECT_EQ(main.Status(), kDriverNotFound);
    EXPECT_EQ(Text(main.outName), "");
    EXPECT_EQ(Text(main.inName), "");
    EXPECT_EQ(main.Bar(), "range 0-35, at 0");
    Screenshot(program, "without-console");

    // Browse and Load stay usable; without discovered ports the update cannot open them.
    const std::string firmware = WriteFirmware("small.bin", CSyntheticFirmware().FillRegion(0, 0x42));
    ChooseFile(program, main, firmware);
    ASSERT_TRUE(main.LoadEndsWith("Device open failed!!"));

    // The caption's close box.
    ::PostMessageA(main.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectEndsWithExitCodeZero(program);
}

TEST_F(VersionUpGui, TwoUpdatesInARowLeaveTheChosenImageInFlash)
{
    const std::string dump = Work("flash-dump.bin");
    ::DeleteFileA(dump.c_str());
    // The console answers a little late, so that the install stage is long enough to watch.
    CProgram program(kProgram, Work("update.txt"), "latency_ms 40\nflash_dump " + dump + "\n");
    ASSERT_TRUE(program.Started());
    const MainWindow main(WaitIdleMainWindow(program));
    ASSERT_NE(main.window, nullptr);

    // Regions 0 and 3; then regions 0 and 2, whose erase of regions 0 to 4 clears region 3.
    CSyntheticFirmware first;
    first.FillRegionRandom(0, 11).FillRegionRandom(3, 12);
    CSyntheticFirmware second;
    second.FillRegionRandom(0, 21).FillRegion(2, 0x5A);
    const std::string firstPath = WriteFirmware("update-first.bin", first);
    const std::string secondPath = WriteFirmware("update-second.bin", second);

    ChooseFile(program, main, firstPath);
    const std::vector<uint8_t> statusBefore = ScreenPixels(ScreenRect(main.status));
    const std::vector<uint8_t> progressBefore = ScreenPixels(ScreenRect(main.progress));
    Click(main.load);

    // The thread sits in the five-second wait, away from its message loop: the new status and
    // bar are on the screen all the same.
    ASSERT_TRUE(WaitUntil([&] { return main.Status() == "Device open...." && !Responds(main.window); }));
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(ScreenRect(main.status)) != statusBefore; }, 3000));
    EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(ScreenRect(main.progress)) != progressBefore; }, 3000));

    // Busy, the thread cannot be asked for the bar: the picture shows it.
    ASSERT_TRUE(WaitUntil([&] { return main.Status() == "Installing.... ( 2/ 2)"; }, kUpdateWaitMs));
    ::Sleep(400); // part of the bar filled, for the picture only
    Screenshot(program, "update-installing", false);
    EXPECT_TRUE(main.StatusIs("Complete!", kUpdateWaitMs));
    ASSERT_TRUE(main.Idle());
    // The bar stays as the last region (3, 16 blocks) left it.
    EXPECT_EQ(main.Bar(), "range 0-16, at 16");
    Screenshot(program, "update-complete");
    ExpectFlashEquals(dump, first.ExpectedImage());

    ::DeleteFileA(dump.c_str());
    ChooseFile(program, main, secondPath);
    // Until the second run sets its own, the first run's status and bar stay.
    EXPECT_EQ(main.Status(), "Complete!");
    Click(main.load);
    ASSERT_TRUE(main.StatusIs("Device open...."));
    ASSERT_TRUE(WaitUntil([&] { return main.Status() == "Complete!" && Responds(main.window); }, kUpdateWaitMs));
    EXPECT_EQ(main.Bar(), "range 0-4, at 4");
    ExpectFlashEquals(dump, second.ExpectedImage());
    Screenshot(program, "second-update-complete");

    ::PostMessageA(main.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectEndsWithExitCodeZero(program);
}

TEST_F(VersionUpGui, AboutBoxFromTheSystemMenu)
{
    const std::string menuFile = Work("system-menu.txt");
    ::DeleteFileA(menuFile.c_str());
    ::SetEnvironmentVariableA("VU_MENU_PROBE_FILE", menuFile.c_str());
    CProgram program(kProgram, Work("console.txt"), "");
    ::SetEnvironmentVariableA("VU_MENU_PROBE_FILE", nullptr);
    ASSERT_TRUE(program.Started());
    const MainWindow main(WaitIdleMainWindow(program));
    ASSERT_NE(main.window, nullptr);

    // The system menu's last two items, read from inside the program's thread.
    const HMODULE probe = ::LoadLibraryA(kMenuProbe.c_str());
    ASSERT_NE(probe, nullptr);
    const auto hookProc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(::GetProcAddress(probe, "MenuProbeHook")));
    const HHOOK hook = ::SetWindowsHookExA(WH_GETMESSAGE, hookProc, probe, ::GetWindowThreadProcessId(main.window, nullptr));
    ASSERT_NE(hook, nullptr);
    ::PostMessageA(main.window, ::RegisterWindowMessageA("vu.ReadSystemMenu"), 0, 0);
    std::vector<std::string> items;
    WaitUntil([&] {
        std::ifstream in(menuFile);
        items.clear();
        for (std::string line; std::getline(in, line);)
            items.push_back(line);
        return !items.empty() && items.back().rfind("font ", 0) == 0;
    });
    ::UnhookWindowsHookEx(hook);
    ::FreeLibrary(probe);
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items[items.size() - 3], "separator");
    EXPECT_EQ(items[items.size() - 2], "16 &About....");
    // Where the template's face is not installed, the platform picks another one.
    std::cout << "dialog font as drawn: " << items.back().substr(5) << "\n";

    const std::string outName = Text(main.outName);
    auto openAbout = [&](WPARAM command) {
        ::PostMessageA(main.window, WM_SYSCOMMAND, command, 0);
        HWND about = nullptr;
        WaitUntil([&] {
            return (about = FindTopLevel(program.Pid(), "#32770", "About PQ4400 Version up Program")) != nullptr;
        });
        return about;
    };
    auto expectMainUnchanged = [&] {
        ASSERT_TRUE(main.Idle());
        EXPECT_EQ(Text(main.outName), outName);
        EXPECT_EQ(main.Status(), "");
        EXPECT_EQ(EditText(main.fileName), "");
        EXPECT_EQ(main.Bar(), "range 0-35, at 0");
    };

    const HWND about = openAbout(IDM_ABOUTBOX);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(::GetWindow(about, GW_OWNER), main.window);
    EXPECT_TRUE(SameCentre(ScreenRect(about), ScreenRect(main.window)));
    EXPECT_NE(FindChild(about, "Static", "PQ4400 Version up Program V1.02"), nullptr);
    const HWND ok = ::GetDlgItem(about, IDOK);
    EXPECT_EQ(Text(ok), "OK");
    EXPECT_EQ(Focus(about), ok);
    EXPECT_NE(FindChildWhere(about, [](HWND w) { return (::GetWindowLongA(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON; }),
              nullptr)
        << DescribeChildren(about);
    Screenshot(program, "about-box");
    Click(ok);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(about); }));
    expectMainUnchanged();

    // The whole band 0x10 to 0x1F is the About entry; Escape closes the box.
    const HWND again = openAbout(0x1F);
    ASSERT_NE(again, nullptr);
    ::PostMessageA(::GetDlgItem(again, IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(again); }));
    expectMainUnchanged();

    // Outside the band the platform handles the command; an unknown one does nothing.
    ::PostMessageA(main.window, WM_SYSCOMMAND, 0x20, 0);
    ASSERT_TRUE(main.Idle());
    EXPECT_EQ(FindTopLevel(program.Pid(), "#32770", "About PQ4400 Version up Program"), nullptr);
    expectMainUnchanged();

    ::PostMessageA(main.window, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectEndsWithExitCodeZero(program);
}
