#include "DialogTemplate.h"

#include <cstring>

namespace {
class CReader {
public:
    CReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Ok() const { return m_ok; }
    uint16_t Word()
    {
        uint16_t value = 0;
        Take(&value, sizeof(value));
        return value;
    }
    uint32_t Dword()
    {
        uint32_t value = 0;
        Take(&value, sizeof(value));
        return value;
    }
    uint8_t Byte()
    {
        uint8_t value = 0;
        Take(&value, sizeof(value));
        return value;
    }
    std::wstring Text()
    {
        std::wstring text;
        for (uint16_t c = Word(); m_ok && c != 0; c = Word())
            text.push_back(static_cast<wchar_t>(c));
        return text;
    }
    // A name or an ordinal (0xFFFF followed by the number).
    std::wstring NameOrOrdinal(int& ordinal)
    {
        ordinal = -1;
        const uint16_t first = Word();
        if (first == 0xFFFF) {
            ordinal = Word();
            return {};
        }
        if (first == 0)
            return {};
        std::wstring text(1, static_cast<wchar_t>(first));
        return text + Text();
    }
    void AlignDword() { m_pos = (m_pos + 3) & ~static_cast<size_t>(3); }
    void Skip(size_t count) { m_pos += count; }

private:
    void Take(void* out, size_t count)
    {
        if (m_pos + count > m_size) {
            m_ok = false;
            return;
        }
        memcpy(out, m_data + m_pos, count);
        m_pos += count;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

std::string ClassName(int ordinal, const std::wstring& name)
{
    switch (ordinal) {
    case 0x80: return "button";
    case 0x81: return "edit";
    case 0x82: return "static";
    case -1: return Narrow(name);
    default: return "ordinal " + std::to_string(ordinal);
    }
}
} // namespace

bool ParseDialogTemplate(const uint8_t* data, size_t size, DialogTemplate& out)
{
    CReader in(data, size);
    out = DialogTemplate{};
    const uint16_t version = in.Word();
    out.extended = in.Word() == 0xFFFF && version == 1;
    if (out.extended) {
        in.Dword(); // help id
        out.exStyle = in.Dword();
        out.style = in.Dword();
    } else {
        in = CReader(data, size);
        out.style = in.Dword();
        out.exStyle = in.Dword();
    }
    const int count = in.Word();
    out.x = static_cast<int16_t>(in.Word());
    out.y = static_cast<int16_t>(in.Word());
    out.cx = static_cast<int16_t>(in.Word());
    out.cy = static_cast<int16_t>(in.Word());
    int ordinal = 0;
    in.NameOrOrdinal(ordinal); // menu
    in.NameOrOrdinal(ordinal); // window class
    out.caption = Narrow(in.Text());
    if (out.style & DS_SETFONT) {
        out.pointSize = in.Word();
        if (out.extended) {
            out.weight = in.Word();
            out.italic = in.Byte();
            out.charset = in.Byte();
        }
        out.face = in.Text();
    }
    for (int i = 0; i < count && in.Ok(); ++i) {
        in.AlignDword();
        DialogItem item{};
        if (out.extended) {
            in.Dword(); // help id
            item.exStyle = in.Dword();
            item.style = in.Dword();
        } else {
            item.style = in.Dword();
            item.exStyle = in.Dword();
        }
        item.x = static_cast<int16_t>(in.Word());
        item.y = static_cast<int16_t>(in.Word());
        item.cx = static_cast<int16_t>(in.Word());
        item.cy = static_cast<int16_t>(in.Word());
        item.id = out.extended ? static_cast<int>(in.Dword()) : static_cast<int16_t>(in.Word());
        const std::wstring className = in.NameOrOrdinal(ordinal);
        item.className = ClassName(ordinal, className);
        const std::wstring text = in.NameOrOrdinal(ordinal);
        item.text = ordinal >= 0 ? "#" + std::to_string(ordinal) : Narrow(text);
        in.Skip(in.Word()); // creation data
        out.items.push_back(item);
    }
    return in.Ok();
}
