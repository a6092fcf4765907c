// The light scan of a format file: finds one field block by name and lists
// its declared member names, arrays expanded to name[0] .. name[n-1]. Types
// are not looked up and annotations are not read.
#pragma once
#include <string>
#include <vector>

#include "format/PmTokenFile.h"

class CFmtNameParser : public CPmTokenFile {
public:
    // A scan refuses to add more names than this ("|E|" error): an array
    // count near 2^31 must not exhaust memory.
    static const size_t kMaxNames = 1u << 20;

    CFmtNameParser();
    ~CFmtNameParser() override;

    void SetFieldName(const std::string& name) { m_strFieldName = name; }
    // Appends the names of the wanted block to m_names (the list is not
    // emptied). True when the file was read without a syntax error, whether
    // or not the block exists; false when it cannot be opened or on a parse
    // error (logged).
    bool Scan(const std::string& path);
    // The same scan of a format held in memory; name stands for the file's
    // name in messages.
    bool ScanText(const char* data, size_t size, const std::string& name);

    // The cap in force (tests and the fuzzer lower it to stay fast).
    size_t m_nMaxNames = kMaxNames;

    std::string m_strFieldName = "CController";
    std::vector<std::string> m_names;
    bool m_bFieldFound = false; // the last scan met the wanted block
    std::string m_strPath;

private:
    bool Run(const std::string& path, const char* data, size_t size);
    void ScanMembers();
    // Raises the "too many names" error when the cap is reached.
    void CheckRoom();
    void AddName(const std::string& name);
    // Adds "name[index]".
    void AddElementName(const std::string& name, int index);

    size_t m_nScanStart = 0; // size of m_names when the scan began
    char m_nameBuffer[256];  // element names of ordinary length are put together here
};
