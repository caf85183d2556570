#include "FirmwareFile.h"

#include "FirmwareImage.h"
#include "StatusTexts.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#elif defined(__EMSCRIPTEN__)
#include "ChosenFile.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// The runtime's low-level file access, which differs only in spelling between Windows and
// the POSIX hosts that run the tests; and a browser's, which reads only the file the user chose.
#ifdef _WIN32
using FileStatus = struct _stat64;
int OpenForReading(const PathChar* path) { return _wopen(ExtendedLengthPath(path).c_str(), _O_BINARY | _O_RDONLY); }
bool QueryStatus(int fd, FileStatus& status) { return _fstat64(fd, &status) == 0; }
bool IsPlainFile(const FileStatus& status) { return (status.st_mode & _S_IFMT) == _S_IFREG; }
int ReadOnce(int fd, void* buffer, uint32_t count) { return _read(fd, buffer, count); }
void CloseFile(int fd) { _close(fd); }
#elif defined(__EMSCRIPTEN__)
struct FileStatus {
    int64_t st_size;
};
int OpenForReading(const PathChar* name) { return OpenChosenFile(name) ? 0 : -1; }
bool QueryStatus(int, FileStatus& status) { status.st_size = ChosenFileSize(); return true; }
bool IsPlainFile(const FileStatus&) { return true; }
int ReadOnce(int, void* buffer, uint32_t count) { return ReadChosenFile(buffer, count); }
void CloseFile(int) {}
#else
using FileStatus = struct stat;
// Non-blocking so that a FIFO cannot stall the open; it is refused as not a plain file.
int OpenForReading(const PathChar* path) { return open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC); }
bool QueryStatus(int fd, FileStatus& status) { return fstat(fd, &status) == 0; }
bool IsPlainFile(const FileStatus& status) { return S_ISREG(status.st_mode); }
int ReadOnce(int fd, void* buffer, uint32_t count) { return static_cast<int>(read(fd, buffer, count)); }
void CloseFile(int fd) { close(fd); }
#endif

// Closes the descriptor on every way out of ReadFirmwareFile.
class CReadOnlyFile {
public:
    explicit CReadOnlyFile(const PathChar* path) : m_fd(OpenForReading(path)) {}
    ~CReadOnlyFile()
    {
        if (m_fd >= 0)
            CloseFile(m_fd);
    }
    CReadOnlyFile(const CReadOnlyFile&) = delete;
    CReadOnlyFile& operator=(const CReadOnlyFile&) = delete;

    int Fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

const char* ReadFirmwareFile(const PathChar* path, CHeapBlock& fileBuffer, int32_t& length)
{
    length = 0;
    fileBuffer.Release();
    if (path == nullptr || *path == 0)
        return texts::kFileNotFound;

    CReadOnlyFile file(path);
    if (file.Fd() < 0)
        return texts::kFileNotFound;
    FileStatus status{};
    if (!QueryStatus(file.Fd(), status))
        return texts::kFileReadError;
    // A directory or a device is no firmware file, and reading it could block.
    if (!IsPlainFile(status))
        return texts::kFileNotFound;

    // Measured in 64 bits: a file of several GB must not pass as a short one. Anything longer
    // than the longest firmware file is refused before memory is taken or a byte is read.
    const int64_t fileLength = status.st_size;
    if (fileLength < 0)
        return texts::kFileReadError;
    if (fileLength > static_cast<int64_t>(kWorkingCopySize))
        return texts::kFileFormatError;
    length = static_cast<int32_t>(fileLength);

    fileBuffer = CHeapBlock(static_cast<size_t>(length));
    if (!fileBuffer.Valid())
        return texts::kNoMemoryForFile;
    if (ReadOnce(file.Fd(), fileBuffer.Data(), static_cast<uint32_t>(length)) != length)
        return texts::kFileReadError;
    return nullptr;
}
