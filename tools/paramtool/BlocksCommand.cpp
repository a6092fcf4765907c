// paramtool blocks: the records of a parameter data file with their payload
// sizes and chunk counts.
#include <cstdio>

#include "Commands.h"
#include "format/DataBlock.h"
#include "params/DataFileVerification.h"

namespace {
const char kUsage[] = "blocks DATA";

int RunBlocks(const std::vector<std::string>& args)
{
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        return UsageError(kUsage);
    const std::string& path = args[0];
    if (!FileFound(path, "data file"))
        return kExitFailure;
    // A file of another kind has no records to list: its bytes read as a
    // chunk stream would only give a made-up damage. A damaged data file is
    // listed as far as it goes, with a warning.
    std::string fault = DataFileFault(path);
    if (IsOtherKindOfFile(fault)) {
        fprintf(stderr, "paramtool: %s %s\n", path.c_str(), fault.c_str());
        return kExitFailure;
    }
    if (!fault.empty())
        fprintf(stderr, "paramtool: warning: %s %s\n", path.c_str(), fault.c_str());
    try {
        CFileChunkSource source(path, datafile::kFileHeaderSize);
        CDataRecordReader reader(source);
        DataRecordInfo info;
        while (reader.NextRecord(info)) {
            reader.SkipPayload();
            const DataRecordInfo& read = reader.Current();
            printf("%s\t%d bytes\t%d stored\t%d compressed\n", read.name.c_str(), static_cast<int>(read.payloadSize),
                   read.storedChunks, read.compressedChunks);
        }
    } catch (const FileError& e) {
        fflush(stdout);
        fprintf(stderr, "paramtool: %s\n", e.what());
        return kExitFailure;
    }
    return kExitOk;
}
} // namespace

PARAMTOOL_COMMAND(blocks, kUsage, "list a data file's records: name, payload size, stored and compressed chunks",
                  RunBlocks);
