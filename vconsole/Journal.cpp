#include "Journal.h"

namespace vconsole {

std::string Hex(const uint8_t* bytes, size_t count)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (size_t i = 0; i < count; ++i) {
        if (i != 0)
            text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string Hex32(uint32_t value)
{
    char text[12];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(value));
    return text;
}

CFileJournal::CFileJournal(const std::string& path)
    : m_file(path.empty() ? nullptr : std::fopen(path.c_str(), "wb"))
{
}

CFileJournal::~CFileJournal()
{
    if (m_file)
        std::fclose(m_file);
}

void CFileJournal::WriteLine(const std::string& line)
{
    if (!m_file)
        return;
    std::fputs(line.c_str(), m_file);
    std::fputc('\n', m_file);
    std::fflush(m_file);
}

} // namespace vconsole
