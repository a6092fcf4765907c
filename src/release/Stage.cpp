#include "release/Stage.h"

#include <map>
#include <zlib.h>

#include "deploy/FileTree.h"
#include "deploy/PackagePreview.h"
#include "locations/Locations.h"
#include "platform/DirectoryEntries.h"
#include "platform/DiskSpace.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/FileError.h"
#include "platform/LocalTime.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"
#include "platform/StringUtil.h"
#include "platform/TempDirectory.h"
#include "release/DataTreeFiles.h"
#include "release/TagStore.h"

const RecordKind kStageKind = {"TLXSTAGE", 1, 1, true, nullptr};

namespace {
// CRC-32 (zlib's) of the whole file, hex: a content check several times
// faster than MD5 under Wine, where it runs while the machine is stopped. It
// finds any change made by accident; who could forge one may write the
// staging place, which only administrators can.
std::string FileCrc32(const std::string& path)
{
    try {
        BinaryFile file;
        file.OpenOrThrow(path, BinaryFile::modeRead | BinaryFile::shareDenyWrite);
        std::vector<unsigned char> buffer(1 << 20);
        unsigned long crc = crc32(0L, Z_NULL, 0);
        for (size_t got; (got = file.Read(buffer.data(), buffer.size())) != 0;)
            crc = crc32(crc, buffer.data(), static_cast<uInt>(got));
        file.Close();
        return StrPrintf("%08lx", crc & 0xffffffffUL);
    } catch (const FileError&) {
        return std::string();
    }
}

// Every file below dir as its path below it; false when something there is
// no plain file or directory (a link), which no package lays.
bool ListStagedFiles(const std::string& dir, const std::string& below, std::vector<std::string>* files)
{
    bool plain = true;
    bool listed = ForEachEntry(dir, "*", [&](const DirectoryEntry& entry) {
        if (entry.IsReparsePoint()) {
            plain = false;
            return false;
        }
        std::string path = below.empty() ? entry.name : below + "\\" + entry.name;
        if (entry.IsDirectory())
            plain = ListStagedFiles(JoinPath(dir, entry.name), path, files);
        else
            files->push_back(path);
        return plain;
    });
    return listed && plain;
}

// A path below the stage's directory: no drive, no root, no "." or "..".
bool IsPlainRelativePath(const std::string& path)
{
    if (path.empty() || path.find_first_of(":/*?\"<>|") != std::string::npos)
        return false;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}

std::vector<RecordFields> FieldsOf(const StageRecord& record)
{
    std::vector<RecordFields> fields = {{"tag", record.tag},
                                        {"release", record.release},
                                        {"digest", record.digest},
                                        {"dir", record.dir},
                                        {"when", record.when}};
    for (const StagedFile& file : record.files)
        fields.push_back({"file", file.path, file.stamp, file.crc});
    return fields;
}

// The record's lines, and where they lead: only a tag directory of
// StagingRoot, only plain paths below it.
std::string ReadStageRecord(StageRecord* record)
{
    RecordRead read = ReadRecordFile(StageRecordFilePath(), kStageKind);
    if (read.state == RecordState::missing)
        return std::string();
    if (read.state != RecordState::ok)
        return read.problem.empty() ? "记录不完整" : read.problem;
    for (const RecordFields& line : read.records) {
        const std::string& kind = line[0];
        if (kind == "file" && line.size() == 4 && IsPlainRelativePath(line[1]))
            record->files.push_back({line[1], line[2], line[3]});
        else if (line.size() == 2 && kind == "tag")
            record->tag = line[1];
        else if (line.size() == 2 && kind == "release")
            record->release = line[1];
        else if (line.size() == 2 && kind == "digest")
            record->digest = line[1];
        else if (line.size() == 2 && kind == "dir")
            record->dir = line[1];
        else if (line.size() == 2 && kind == "when")
            record->when = line[1];
        else
            return "无法识别的记录行：" + kind;
    }
    if (!IsTagForm(record->tag) || !SamePath(record->dir, JoinPath(StagingRoot(), record->tag)))
        return "暂存目录不是本程序的暂存位置：" + record->dir;
    if (record->digest.empty() || record->files.empty())
        return "记录不完整";
    return std::string();
}

std::string FilesProblem(const StageRecord& record)
{
    if (KindOfPath(record.dir) != PathKind::directory)
        return "暂存目录不存在：" + record.dir;
    std::string writers = OtherWritersOfStaging();
    if (!writers.empty())
        return writers;
    std::vector<std::string> present;
    if (!ListStagedFiles(record.dir, std::string(), &present))
        return "暂存目录中有链接或无法列出：" + record.dir;
    std::map<std::string, const StagedFile*> staged;
    for (const StagedFile& file : record.files)
        staged[LowerMultiByte(file.path)] = &file;
    if (present.size() != staged.size())
        return StrPrintf("暂存的文件数量已改变（记录%u个，现有%u个）", static_cast<unsigned>(staged.size()),
                         static_cast<unsigned>(present.size()));
    for (const std::string& path : present) {
        auto found = staged.find(LowerMultiByte(path));
        if (found == staged.end())
            return "暂存后新增的文件：" + path;
        const std::string full = JoinPath(record.dir, path);
        if (FileStamp(full) != found->second->stamp || FileCrc32(full) != found->second->crc)
            return "暂存后改变的文件：" + path;
    }
    return std::string();
}
} // namespace

std::string OtherWritersOfStaging()
{
    std::string why = RecordDirectoryProblem(StagingRoot());
    return why.empty() ? why : "暂存位置可能被管理员以外的帐户写入：" + why;
}

std::vector<std::string> DropStage()
{
    std::vector<std::string> dropped;
    const std::string record = StageRecordFilePath();
    for (const std::string& path : {record, RecordTempPath(record)})
        if (PathExists(path) && RemoveFile(path))
            dropped.push_back(path);
    const std::string root = StagingRoot();
    if (KindOfPath(root) != PathKind::directory)
        return dropped;
    for (const DirectoryEntry& entry : ListEntries(root)) {
        std::string dir = JoinPath(root, entry.name);
        if (!entry.IsDirectory() || entry.IsReparsePoint() || !IsTagForm(entry.name))
            continue;
        if (DeleteTree(dir))
            dropped.push_back(dir);
    }
    RemoveEmptyDirectory(root);
    return dropped;
}

StageMade MakeStage(const std::string& setupPath, const std::string& release, const std::string& digest)
{
    StageMade made;
    made.dropped = DropStage();
    const std::string root = StagingRoot();
    // Administrators only, as the records: what lies here is switched into
    // the program tree by an elevated run.
    std::string why = PrepareRecordDirectory(root);
    if (!why.empty()) {
        made.problem = "暂存位置无法使用：" + why;
        return made;
    }
    // The release takes at least the setup file's bytes once unpacked: a
    // drive without that much is said before anything is laid.
    unsigned long long setupBytes = 0, freeBytes = 0, total = 0;
    if (FileSizeOf(setupPath, &setupBytes) && VolumeSpace(WithBackslash(ParentOf(root)), &freeBytes, &total) &&
        freeBytes < setupBytes) {
        made.noSpace = true;
        made.problem = StrPrintf("磁盘空间不足，无法暂存（%s 可用 %.1f MB，至少需要 %.1f MB）", root.c_str(),
                                 freeBytes / 1048576.0, setupBytes / 1048576.0);
        RemoveEmptyDirectory(root);
        return made;
    }
    StageRecord record;
    for (;;) {
        record.tag = NewTag();
        record.dir = JoinPath(root, record.tag);
        if (KindOfPath(record.dir) == PathKind::missing)
            break;
    }
    made.dir = record.dir;
    PackagePreview laid = LayPackageInto(setupPath, record.dir);
    made.packageSize = laid.packageSize;
    // What the package leaves of a failed lay is no stage.
    auto giveUp = [&](const std::string& problem) {
        made.problem = problem;
        RemovePackagePreview(laid);
        if (PathExists(record.dir))
            DeleteTree(record.dir);
        RemoveEmptyDirectory(root);
        return made;
    };
    if (!laid.ok) {
        made.notLaid = laid.notStarted;
        if (!laid.notStarted && laid.packageSize && VolumeSpace(WithBackslash(ParentOf(root)), &freeBytes, &total) &&
            freeBytes < laid.packageSize) {
            made.noSpace = true;
            return giveUp(StrPrintf("磁盘空间不足，无法暂存（%s 可用 %.1f MB，安装包 %.1f MB）：%s", root.c_str(),
                                    freeBytes / 1048576.0, laid.packageSize / 1048576.0, laid.problem.c_str()));
        }
        return giveUp(laid.problem);
    }
    std::vector<std::string> paths;
    if (!ListStagedFiles(record.dir, std::string(), &paths) || paths.empty())
        return giveUp("暂存的版本无法列出：" + record.dir);
    for (const std::string& path : paths) {
        std::string full = JoinPath(record.dir, path);
        StagedFile file{path, FileStamp(full), FileCrc32(full)};
        if (file.stamp.empty() || file.crc.empty())
            return giveUp("暂存的文件无法读取：" + full);
        record.files.push_back(file);
    }
    record.release = release;
    record.digest = digest;
    record.when = LocalTimeText();
    RemovePackagePreview(laid);
    // The stage exists from here on: a cut before leaves a directory without
    // a record, which the next run removes.
    if (!WriteWholeRecord(StageRecordFilePath(), kStageKind, FieldsOf(record)))
        return giveUp("暂存记录无法写入：" + StageRecordFilePath());
    made.ok = true;
    made.bytes = laid.releaseSize;
    made.files = record.files.size();
    return made;
}

StageFound FindStage(const std::string& digest, bool checkFiles)
{
    StageFound found;
    std::string problem = ReadStageRecord(&found.record);
    if (problem.empty() && found.record.tag.empty())
        return found;
    found.state = StageFound::notUsable;
    if (!problem.empty())
        found.reason = "暂存记录不可信：" + problem;
    else if (digest.empty() || LowerMultiByte(found.record.digest) != LowerMultiByte(digest))
        found.reason = "暂存的是另一个版本（摘要 " + found.record.digest + "）";
    else if (checkFiles && !(problem = FilesProblem(found.record)).empty())
        found.reason = problem;
    else
        found.state = StageFound::usable;
    return found;
}

std::string SwitchToStage(const StageFound& stage, const std::string& installRoot)
{
    if (stage.state != StageFound::usable)
        return "暂存不可用";
    if (!RemoveFile(StageRecordFilePath()))
        return "暂存记录无法删除：" + StageRecordFilePath();
    std::string stuck;
    MoveByRenames(stage.record.dir, WithoutTrailingBackslash(installRoot), [&](const std::string& path, Stuck) {
        if (stuck.empty())
            stuck = path;
    });
    if (!stuck.empty())
        return "暂存的文件无法移入安装目录：" + stuck;
    RemoveEmptyTree(stage.record.dir);
    RemoveEmptyDirectory(StagingRoot());
    return std::string();
}
