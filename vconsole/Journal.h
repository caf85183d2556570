// The console's journal: one text line per event, so that a test or a person can read back
// exactly what travelled between the tool and the console.
//   rx HEX          a message received          tx HEX        a message sent to the tool
//   longerror HEX   a damaged message sent      refused HEX   a message the driver refused
//   dropped HEX     a reply the tool never got  violation TEXT  a malformed message
//   config LINE: TEXT  a rejected configuration line
//   stats ...       the counters, each time the ports close
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vconsole {

// Bytes as upper-case hexadecimal pairs separated by single blanks: "F0 43 00".
std::string Hex(const uint8_t* bytes, size_t count);
// A 32-bit value as eight hexadecimal digits.
std::string Hex32(uint32_t value);

class IJournal {
public:
    virtual ~IJournal() = default;
    virtual void WriteLine(const std::string& line) = 0;
};

// Appends to a file, flushed line by line so that a test can read it while the driver runs.
class CFileJournal : public IJournal {
public:
    // Starts the file afresh; without a path, or when the file cannot be made, nothing is written.
    explicit CFileJournal(const std::string& path);
    ~CFileJournal() override;
    CFileJournal(const CFileJournal&) = delete;
    CFileJournal& operator=(const CFileJournal&) = delete;

    void WriteLine(const std::string& line) override;

private:
    std::FILE* m_file = nullptr;
};

} // namespace vconsole
