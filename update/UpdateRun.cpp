#include "UpdateRun.h"

#include <windows.h>

#include <cstdio>

#include "FirmwareFile.h"
#include "FirmwareImage.h"
#include "StatusTexts.h"

namespace {

constexpr int kSettleSteps = 5;
// Region 1 carries two words that tell which console firmware the file was built for; command U
// goes only to firmware from this level on.
constexpr uint32_t kLevelWordOffsets[2] = {0x8004, 0x8006};
constexpr uint16_t kCommandULevel = 0x1180;
// Region 0 is erased together with regions 2 to 4, region 5 together with region 1 and 6 to 34.
constexpr int kBootGroup[] = {0, 2, 3, 4};

bool CommandUDue(const RegionMask& mask, const uint8_t* image)
{
    if (!mask.Test(5))
        return true;
    for (uint32_t offset : kLevelWordOffsets) {
        if (ReadWordBE(image, offset) < kCommandULevel)
            return false;
    }
    return true;
}

int EraseCount(const RegionMask& mask)
{
    return (mask.Test(0) ? 4 : 0) + (mask.Test(5) ? 31 : 0);
}

} // namespace

CUpdateRun::CUpdateRun(IUpdateDisplay& display, CMidiPort& port, const UpdateTiming& timing)
    : m_display(display), m_port(port), m_timing(timing), m_link(port),
      m_commands(m_link, display, timing.replyTimeoutMs)
{
}

void CUpdateRun::Execute(const char* path, uint32_t outDevice, uint32_t inDevice, int32_t& fileSize)
{
    if (!ReadImage(path, fileSize) || !OpenDevice(outDevice, inDevice))
        return;
    SendCommandUIfDue();
    if (!EraseRegions() || !WriteRegions())
        return;
    Finish();
}

bool CUpdateRun::ReadImage(const char* path, int32_t& fileSize)
{
    m_display.SetRange(0, 3);
    m_display.SetPos(0);
    m_display.ShowStatus(texts::kFileReading);
    const char* failure = ReadFirmwareFile(path, m_fileBuffer, fileSize);
    if (!failure) {
        m_display.SetPos(1);
        failure = AssembleImage(m_fileBuffer.Data(), fileSize, m_workingCopy, m_image);
    }
    if (!failure) {
        m_display.SetPos(2);
        m_mask = ComputeRegionMask(m_image.Data());
        if (m_mask.Test(5))
            failure = BuildChecksumTable(m_image.Data());
    }
    if (failure) {
        m_display.ShowStatus(failure);
        return false;
    }
    m_display.SetPos(3);
    return true;
}

bool CUpdateRun::OpenDevice(uint32_t outDevice, uint32_t inDevice)
{
    m_display.SetRange(0, kSettleSteps);
    m_display.SetPos(0);
    m_display.ShowStatus(texts::kDeviceOpen);
    if (!m_port.Open(outDevice, inDevice)) {
        m_display.ShowStatus(texts::kDeviceOpenFailed);
        return false;
    }
    // The console needs these seconds after its ports open before it takes the first command.
    for (int step = 1; step <= kSettleSteps; ++step) {
        m_display.SetPos(step);
        Sleep(m_timing.settleStepMs);
    }
    return true;
}

void CUpdateRun::SendCommandUIfDue()
{
    if (CommandUDue(m_mask, m_image.Data()))
        m_commands.SendCommandU();
}

bool CUpdateRun::EraseRegions()
{
    m_display.SetRange(0, EraseCount(m_mask));
    m_display.SetPos(0);
    m_display.ShowStatus(texts::kUninstalling);
    int counter = 1;
    auto erase = [&](int region) {
        m_display.SetPos(counter++);
        if (m_commands.EraseRegion(region) == 0)
            return true;
        m_display.ShowStatus(texts::kUninstallFailed);
        return false;
    };
    if (m_mask.Test(0)) {
        for (int region : kBootGroup) {
            if (!erase(region))
                return false;
        }
    }
    if (m_mask.Test(5)) {
        if (!erase(1))
            return false;
        for (int region = 5; region < kRegionCount; ++region) {
            if (!erase(region))
                return false;
        }
    }
    return true;
}

bool CUpdateRun::WriteRegions()
{
    const int total = m_mask.Count();
    int counter = 0;
    char text[64] = {};
    for (int region = 0; region < kRegionCount; ++region) {
        if (!m_mask.Test(region))
            continue;
        ++counter;
        std::snprintf(text, sizeof text, texts::kInstallingFormat, counter, total);
        m_display.ShowStatus(text);
        const uint32_t offset = RegionOffset(region);
        if (m_commands.WriteRegion(offset, m_image.Data() + offset, RegionLength(region)) != 0) {
            m_display.ShowStatus(texts::kInstallFailed);
            return false;
        }
    }
    return true;
}

void CUpdateRun::Finish()
{
    m_display.ShowStatus(m_commands.FinishUpdate() == 0 ? texts::kComplete : texts::kCompleteRestart);
}
