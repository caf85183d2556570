#include "Application.h"

namespace {
CApplication* g_application = nullptr;
}

CApplication::CApplication()
{
    g_application = this;
}

CApplication::~CApplication()
{
    g_application = nullptr;
}

CApplication* CApplication::Instance()
{
    return g_application;
}
