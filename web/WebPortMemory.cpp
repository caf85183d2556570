#include "WebPortMemory.h"

#include <emscripten.h>

namespace {
constexpr int kNameCharacters = 256;
} // namespace

// The page's storage may be switched off or full: then nothing is remembered (0).
EM_JS(int, RecallOnPage, (int output, wchar_t* name, int bytes), {
    const remembered = Module.page.recallPort(output !== 0);
    if (remembered === null)
        return 0;
    stringToUTF32(remembered, name, bytes);
    return 1;
});
EM_JS(int, RememberOnPage, (const wchar_t* output, const wchar_t* input),
      { return Module.page.rememberPorts(UTF32ToString(output), UTF32ToString(input)) ? 1 : 0; });

bool CWebPortMemory::Recall(PortNames& names)
{
    wchar_t out[kNameCharacters] = {};
    wchar_t in[kNameCharacters] = {};
    if (!RecallOnPage(1, out, static_cast<int>(sizeof out)) || !RecallOnPage(0, in, static_cast<int>(sizeof in)) ||
        !out[0] || !in[0])
        return false;
    names = {out, in};
    return true;
}

bool CWebPortMemory::Remember(const PortNames& names)
{
    return RememberOnPage(names.out.c_str(), names.in.c_str()) != 0;
}
