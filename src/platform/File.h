// Files opened and closed within one operation: an unbuffered binary file and
// a buffered text file whose CR LF pairs read as one newline and whose
// newlines are written as CR LF, on every platform alike. Errors are thrown as
// FileError, except from Open, which reports through its result.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileError.h"

class BinaryFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        // In a folder anyone can write: not through a link on the way, not a
        // link itself, one link only where written (LinkGuard). Refused,
        // Open fails with FileError::linkRefused naming the link.
        modeNoLinks = 0x4000,
    };
    enum SeekFrom { begin = 0, current = 1, end = 2 };

    BinaryFile() = default;
    virtual ~BinaryFile();
    BinaryFile(const BinaryFile&) = delete;
    BinaryFile& operator=(const BinaryFile&) = delete;

    // Opens path; on failure returns false and fills *error when given.
    bool Open(const std::string& path, unsigned flags, FileError* error = nullptr);
    // Opens path or throws FileError.
    void OpenOrThrow(const std::string& path, unsigned flags);
    bool IsOpen() const;
    const std::string& Path() const { return m_path; }

    // Reads up to count bytes; returns the number read (0 at end of file).
    virtual size_t Read(void* buffer, size_t count);
    // Reads exactly count bytes or throws FileError(endOfFile).
    void ReadExact(void* buffer, size_t count);
    virtual void Write(const void* data, size_t count);
    virtual uint64_t Seek(int64_t offset, SeekFrom from);
    uint64_t SeekToEnd() { return Seek(0, end); }
    uint64_t GetPosition();
    uint64_t GetLength();
    virtual void Flush();
    // Closes the file; a failure to flush or close throws.
    virtual void Close();
    // Closes the file, ignoring every error.
    void Abort();

protected:
#ifdef _WIN32
    void* m_handle = reinterpret_cast<void*>(static_cast<intptr_t>(-1));
#else
    int m_fd = -1;
#endif
    std::string m_path;
};

class TextFile : public BinaryFile {
public:
    ~TextFile() override;
    // Reads one line without its newline; false at end of file with nothing read.
    bool ReadString(std::string& line);
    // Reads one character with CR LF folded into '\n'; -1 at end of file.
    int GetChar();
    // Pushes back the character last read (one level is enough for readers).
    void UngetChar(int c);
    // Writes text; every '\n' is written as CR LF. Written text is kept until
    // flushSize bytes have gathered (or Flush, Close).
    void WriteString(const std::string& text);
    // A file written in one go (a listing) gathers more per write call.
    void SetFlushSize(size_t bytes) { m_flushSize = bytes; }

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* data, size_t count) override;
    uint64_t Seek(int64_t offset, SeekFrom from) override;
    void Flush() override;
    void Close() override;

private:
    int RawGet();
    void DropReadBuffer();

    std::vector<char> m_in;
    size_t m_inPos = 0;
    int m_pushed = -2; // -2: nothing pushed back
    std::string m_out;
    size_t m_flushSize = 4096;
};

// Whole-file helpers used by tools and tests.
bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes);
bool WriteWholeFile(const std::string& path, const void* data, size_t size);
bool FileExists(const std::string& path);
// Both files can be read and hold the same bytes.
bool SameFileContents(const std::string& a, const std::string& b);
// part can be read and holds the first bytes of whole (all of them, or fewer):
// what a copy of whole cut short leaves.
bool FileIsPrefixOf(const std::string& part, const std::string& whole);
bool DirectoryExists(const std::string& path);
