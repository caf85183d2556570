#include "WebDisplay.h"

#include <emscripten.h>

// Port names reach the page as wide text, 32 bits a character here.
static_assert(sizeof(wchar_t) == 4);

EM_JS(void, ShowStatusOnPage, (const char* text), { Module.page.showStatus(UTF8ToString(text)); });
EM_JS(void, SetRangeOnPage, (int upper), { Module.page.setRange(upper); });
EM_JS(void, SetPosOnPage, (int position), { Module.page.setPos(position); });
EM_JS(void, OffsetPosOnPage, (int delta), { Module.page.offsetPos(delta); });
EM_JS(void, ShowPortOnPage, (int output, const wchar_t* name),
      { Module.page.showPortName(output !== 0, UTF32ToString(name)); });
EM_ASYNC_JS(void, ShowMessageBoxOnPage, (const char* text), { await Module.page.showMessageBox(UTF8ToString(text)); });

void CWebDisplay::ShowStatus(const char* text)
{
    ShowStatusOnPage(text);
}

// Every range the update sets starts at 0.
void CWebDisplay::SetRange(int /*lower*/, int upper)
{
    SetRangeOnPage(upper);
}

void CWebDisplay::SetPos(int position)
{
    SetPosOnPage(position);
}

void CWebDisplay::OffsetPos(int delta)
{
    OffsetPosOnPage(delta);
}

void CWebDisplay::ShowOutputPortName(const wchar_t* name)
{
    ShowPortOnPage(1, name);
}

void CWebDisplay::ShowInputPortName(const wchar_t* name)
{
    ShowPortOnPage(0, name);
}

void CWebDisplay::ShowMessageBox(const char* text)
{
    ShowMessageBoxOnPage(text);
}
