#include "platform/File.h"

#include <cstring>

#include "platform/LinkGuard.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/WidePath.h"
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

BinaryFile::~BinaryFile() { Abort(); }

#ifdef _WIN32
static HANDLE H(void* h) { return static_cast<HANDLE>(h); }

bool BinaryFile::IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

bool BinaryFile::Open(const std::string& path, unsigned flags, FileError* error)
{
    Abort();
    DWORD access = 0;
    switch (flags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    switch (flags & 0x70) {
    case shareExclusive: share = 0; break;
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    default: break;
    }
    if (flags & modeNoLinks) {
        void* h = OpenWithoutLinks(path, access, share, (flags & modeCreate) != 0,
                                   (flags & modeCreate) && !(flags & modeNoTruncate), error);
        if (!h)
            return false;
        m_handle = h;
        m_path = path;
        return true;
    }
    DWORD disposition = OPEN_EXISTING;
    if (flags & modeCreate)
        disposition = (flags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    HANDLE h = CreateFileW(WidePathOf(path).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) {
            long os = static_cast<long>(GetLastError());
            *error = FileError(FileError::CauseFromOsError(os), os, path);
        }
        return false;
    }
    m_handle = h;
    m_path = path;
    return true;
}

size_t BinaryFile::Read(void* buffer, size_t count)
{
    size_t total = 0;
    while (total < count) {
        DWORD chunk = static_cast<DWORD>(count - total > 0x40000000u ? 0x40000000u : count - total);
        DWORD got = 0;
        if (!ReadFile(H(m_handle), static_cast<char*>(buffer) + total, chunk, &got, nullptr))
            FileError::ThrowLast(m_path);
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

void BinaryFile::Write(const void* data, size_t count)
{
    size_t total = 0;
    while (total < count) {
        DWORD chunk = static_cast<DWORD>(count - total > 0x40000000u ? 0x40000000u : count - total);
        DWORD put = 0;
        if (!WriteFile(H(m_handle), static_cast<const char*>(data) + total, chunk, &put, nullptr))
            FileError::ThrowLast(m_path);
        if (put == 0)
            throw FileError(FileError::diskFull, ERROR_DISK_FULL, m_path);
        total += put;
    }
}

uint64_t BinaryFile::Seek(int64_t offset, SeekFrom from)
{
    LARGE_INTEGER distance, result;
    distance.QuadPart = offset;
    DWORD method = from == begin ? FILE_BEGIN : from == current ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(H(m_handle), distance, &result, method))
        FileError::ThrowLast(m_path);
    return static_cast<uint64_t>(result.QuadPart);
}

uint64_t BinaryFile::GetLength()
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(H(m_handle), &size))
        FileError::ThrowLast(m_path);
    return static_cast<uint64_t>(size.QuadPart);
}

void BinaryFile::Flush()
{
    if (IsOpen() && !FlushFileBuffers(H(m_handle)) && GetLastError() != ERROR_ACCESS_DENIED)
        FileError::ThrowLast(m_path);
}

void BinaryFile::Close()
{
    if (!IsOpen())
        return;
    HANDLE h = H(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    if (!CloseHandle(h))
        FileError::ThrowLast(m_path);
}

void BinaryFile::Abort()
{
    if (IsOpen())
        CloseHandle(H(m_handle));
    m_handle = INVALID_HANDLE_VALUE;
}

bool FileExists(const std::string& path)
{
    DWORD a = GetFileAttributesW(WidePathOf(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path)
{
    DWORD a = GetFileAttributesW(WidePathOf(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}
#else
bool BinaryFile::IsOpen() const { return m_fd >= 0; }

bool BinaryFile::Open(const std::string& path, unsigned flags, FileError* error)
{
    Abort();
    int oflags = O_CLOEXEC;
    switch (flags & 3) {
    case modeRead: oflags |= O_RDONLY; break;
    case modeWrite: oflags |= O_WRONLY; break;
    default: oflags |= O_RDWR; break;
    }
    if (flags & modeNoLinks) {
        void* opened = OpenWithoutLinks(path, static_cast<unsigned long>(oflags & O_ACCMODE), 0,
                                        (flags & modeCreate) != 0, (flags & modeCreate) && !(flags & modeNoTruncate),
                                        error);
        if (!opened)
            return false;
        m_fd = static_cast<int>(reinterpret_cast<intptr_t>(opened) - 1);
        m_path = path;
        return true;
    }
    if (flags & modeCreate) {
        oflags |= O_CREAT;
        if (!(flags & modeNoTruncate))
            oflags |= O_TRUNC;
    }
    int fd = ::open(path.c_str(), oflags, 0644);
    if (fd >= 0) {
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            fd = -1;
            errno = EISDIR;
        }
    }
    if (fd < 0) {
        if (error)
            *error = FileError(FileError::CauseFromOsError(errno), errno, path);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

size_t BinaryFile::Read(void* buffer, size_t count)
{
    size_t total = 0;
    while (total < count) {
        ssize_t got = ::read(m_fd, static_cast<char*>(buffer) + total, count - total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            FileError::ThrowLast(m_path);
        }
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    return total;
}

void BinaryFile::Write(const void* data, size_t count)
{
    size_t total = 0;
    while (total < count) {
        ssize_t put = ::write(m_fd, static_cast<const char*>(data) + total, count - total);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            FileError::ThrowLast(m_path);
        }
        total += static_cast<size_t>(put);
    }
}

uint64_t BinaryFile::Seek(int64_t offset, SeekFrom from)
{
    int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (r < 0)
        FileError::ThrowLast(m_path);
    return static_cast<uint64_t>(r);
}

uint64_t BinaryFile::GetLength()
{
    struct stat st;
    if (fstat(m_fd, &st) != 0)
        FileError::ThrowLast(m_path);
    return static_cast<uint64_t>(st.st_size);
}

void BinaryFile::Flush() {}

void BinaryFile::Close()
{
    if (m_fd < 0)
        return;
    int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        FileError::ThrowLast(m_path);
}

void BinaryFile::Abort()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
#endif

void BinaryFile::OpenOrThrow(const std::string& path, unsigned flags)
{
    FileError error(FileError::none, 0, path);
    if (!Open(path, flags, &error))
        throw error;
}

void BinaryFile::ReadExact(void* buffer, size_t count)
{
    if (Read(buffer, count) != count)
        throw FileError(FileError::endOfFile, 0, m_path);
}

uint64_t BinaryFile::GetPosition() { return Seek(0, current); }

// ---- TextFile ----

TextFile::~TextFile()
{
    try {
        Flush();
    } catch (const FileError&) {
    }
}

int TextFile::RawGet()
{
    if (m_inPos >= m_in.size()) {
        m_in.resize(4096);
        size_t got = BinaryFile::Read(m_in.data(), m_in.size());
        m_in.resize(got);
        m_inPos = 0;
        if (got == 0)
            return -1;
    }
    return static_cast<unsigned char>(m_in[m_inPos++]);
}

int TextFile::GetChar()
{
    if (m_pushed != -2) {
        int c = m_pushed;
        m_pushed = -2;
        return c;
    }
    int c = RawGet();
    if (c == '\r') {
        int next = RawGet();
        if (next == '\n')
            return '\n';
        if (next != -1)
            --m_inPos; // the byte is still in the buffer
    }
    return c;
}

void TextFile::UngetChar(int c)
{
    if (c != -1)
        m_pushed = c;
}

bool TextFile::ReadString(std::string& line)
{
    line.clear();
    int c = GetChar();
    if (c == -1)
        return false;
    while (c != -1 && c != '\n') {
        line.push_back(static_cast<char>(c));
        c = GetChar();
    }
    return true;
}

size_t TextFile::Read(void* buffer, size_t count)
{
    char* out = static_cast<char*>(buffer);
    size_t n = 0;
    while (n < count) {
        int c = GetChar();
        if (c == -1)
            break;
        out[n++] = static_cast<char>(c);
    }
    return n;
}

void TextFile::WriteString(const std::string& text)
{
    size_t start = 0;
    for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
        m_out.append(text, start, nl - start);
        m_out.append("\r\n", 2);
        start = nl + 1;
    }
    m_out.append(text, start, std::string::npos);
    if (m_out.size() >= m_flushSize)
        Flush();
}

void TextFile::Write(const void* data, size_t count)
{
    WriteString(std::string(static_cast<const char*>(data), count));
}

void TextFile::DropReadBuffer()
{
    // The OS position is ahead of what the reader consumed: step back.
    size_t unread = m_in.size() - m_inPos;
    if (m_pushed != -2)
        ++unread;
    m_in.clear();
    m_inPos = 0;
    m_pushed = -2;
    if (unread)
        BinaryFile::Seek(-static_cast<int64_t>(unread), current);
}

uint64_t TextFile::Seek(int64_t offset, SeekFrom from)
{
    Flush();
    DropReadBuffer();
    return BinaryFile::Seek(offset, from);
}

void TextFile::Flush()
{
    if (m_out.empty())
        return;
    // Emptied even when the write fails (nothing is written twice); the
    // buffer keeps its room for the next lines.
    struct Emptier {
        std::string& out;
        ~Emptier() { out.clear(); }
    } emptier{m_out};
    BinaryFile::Write(m_out.data(), m_out.size());
}

void TextFile::Close()
{
    if (!IsOpen())
        return;
    try {
        Flush();
    } catch (...) {
        Abort();
        m_in.clear();
        throw;
    }
    m_in.clear();
    m_inPos = 0;
    m_pushed = -2;
    BinaryFile::Close();
}

namespace {
// first's bytes are whole's first bytes; sameLength: and as many.
bool LeadingBytesMatch(const std::string& a, const std::string& b, bool sameLength)
{
    BinaryFile first, second;
    if (!first.Open(a, BinaryFile::modeRead | BinaryFile::shareDenyNone) ||
        !second.Open(b, BinaryFile::modeRead | BinaryFile::shareDenyNone))
        return false;
    try {
        if (sameLength ? first.GetLength() != second.GetLength() : first.GetLength() > second.GetLength())
            return false;
        std::vector<unsigned char> x(1 << 16), y(1 << 16);
        for (;;) {
            size_t n = first.Read(x.data(), x.size());
            if (n == 0)
                return true;
            second.ReadExact(y.data(), n);
            if (memcmp(x.data(), y.data(), n) != 0)
                return false;
        }
    } catch (const FileError&) {
        return false;
    }
}
} // namespace

bool SameFileContents(const std::string& a, const std::string& b) { return LeadingBytesMatch(a, b, true); }

bool FileIsPrefixOf(const std::string& part, const std::string& whole) { return LeadingBytesMatch(part, whole, false); }

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    BinaryFile f;
    if (!f.Open(path, BinaryFile::modeRead | BinaryFile::shareDenyNone))
        return false;
    try {
        uint64_t len = f.GetLength();
        bytes.resize(static_cast<size_t>(len));
        bytes.resize(f.Read(bytes.data(), bytes.size()));
        return true;
    } catch (const FileError&) {
        return false;
    }
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size)
{
    BinaryFile f;
    if (!f.Open(path, BinaryFile::modeWrite | BinaryFile::modeCreate))
        return false;
    try {
        f.Write(data, size);
        f.Close();
        return true;
    } catch (const FileError&) {
        return false;
    }
}
