#include "ChosenFile.h"

#include <emscripten.h>

EM_ASYNC_JS(int, OpenChosenFileOnPage, (const char* name),
            { return (await Module.page.file.open(UTF8ToString(name))) ? 1 : 0; });
EM_JS(double, ChosenFileSizeOnPage, (), { return Module.page.file.size(); });
EM_ASYNC_JS(int, ReadChosenFileOnPage, (void* buffer, uint32_t count), {
    const bytes = await Module.page.file.read(count);
    if (bytes === null)
        return -1;
    HEAPU8.set(bytes, buffer);
    return bytes.length;
});

bool OpenChosenFile(const char* name)
{
    return OpenChosenFileOnPage(name) != 0;
}

int64_t ChosenFileSize()
{
    return static_cast<int64_t>(ChosenFileSizeOnPage());
}

int ReadChosenFile(void* buffer, uint32_t count)
{
    return ReadChosenFileOnPage(buffer, count);
}
