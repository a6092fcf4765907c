#include "deploy/ConfigPurge.h"

#include "locations/Locations.h"
#include "deploy/FileTree.h"
#include "params/ParameterFileKinds.h"
#include "platform/FileCopy.h"
#include "platform/MultiByte.h"
#include "platform/Paths.h"

namespace {
const char kZeroStamp[] = "-0000-00-00-00-00-00";

} // namespace

std::vector<std::string> PurgeDirectories(bool writeFilter, const std::string& productDir,
                                          const std::string& dataProductDir, bool useActiveConfig,
                                          const std::string& activeConfigDir)
{
    std::vector<std::string> dirs{JoinPath(productDir, "config")};
    if (writeFilter)
        dirs.push_back(JoinPath(dataProductDir, "config"));
    if (useActiveConfig)
        dirs.back() = JoinPath(activeConfigDir, "config");
    return dirs;
}

void PurgeDataFilesIn(const std::string& configDir)
{
    if (configDir.empty() || !PathExists(configDir))
        return;
    PathList list;
    for (size_t i = 0; i < kParameterDataFilePairCount; ++i) {
        const NamePair& kind = kParameterDataFilePairs[i];
        list.clear();
        CollectByFragments(configDir, kind.first, kind.second, list);
        for (const std::string& path : list) {
            // The whole path counts: a zero-stamped directory keeps its files.
            std::string lower = LowerMultiByte(path);
            if (ContainsMultiByte(lower, kind.first) && ContainsMultiByte(lower, kZeroStamp))
                continue;
            // The listed path names the same file as its lower-cased form and
            // does not depend on how the file system folds double-byte letters.
            DeleteUnprotectedFile(path);
        }
    }
}

void PurgeConfigDataFiles(bool useActiveConfig, const std::string& activeConfigDir)
{
    if (IsPackupSet())
        return;
    for (const std::string& dir :
         PurgeDirectories(IsWriteFilterSystem(), ProductDir(), DataProductDir(), useActiveConfig, activeConfigDir))
        PurgeDataFilesIn(dir);
}
