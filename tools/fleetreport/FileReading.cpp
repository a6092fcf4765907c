#include "FileReading.h"


#include "platform/File.h"
#include "platform/TextEncoding.h"

FileReading ReadCollectedFile(const std::string& path, const std::string& name, std::string* bytes)
{
    FileReading reading;
    reading.file = name;
    bytes->clear();
    if (!FileExists(path)) {
        reading.state = DirectoryExists(path) ? FileState::unreadable : FileState::missing;
        reading.problem = DirectoryExists(path) ? name + " is a folder, not a file" : name + " not collected";
        return reading;
    }
    BinaryFile file;
    FileError error(FileError::none, 0, std::string());
    if (!file.Open(path, BinaryFile::modeRead | BinaryFile::shareDenyNone, &error)) {
        reading.state = FileState::unreadable;
        reading.problem = name + " cannot be read: " + GbkToUtf8(error.what());
        return reading;
    }
    try {
        char buffer[65536];
        size_t n;
        while ((n = file.Read(buffer, sizeof buffer)) > 0)
            bytes->append(buffer, n);
        file.Close();
    } catch (const FileError& e) {
        file.Abort();
        reading.state = FileState::unreadable;
        reading.problem = name + " cannot be read: " + GbkToUtf8(e.what());
        return reading;
    }
    reading.state = FileState::ok;
    return reading;
}
