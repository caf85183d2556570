// The test functions of VirtualConsoleApi.h, exported by name through the .def file.
#include "ConsoleDriver.h"
#include "VirtualConsoleApi.h"

extern "C" {

int VConsoleConfigure(const char* text)
{
    return CConsoleDriver::Instance().Configure(text);
}

uint32_t VConsoleReadFlash(uint32_t address, uint8_t* out, uint32_t count)
{
    return CConsoleDriver::Instance().ReadFlash(address, out, count);
}

void VConsoleGetStats(VConsoleStats* stats)
{
    CConsoleDriver::Instance().GetStats(stats);
}

int VConsoleGetViolation(uint32_t index, char* text, uint32_t size)
{
    return CConsoleDriver::Instance().GetViolation(index, text, size);
}

} // extern "C"
