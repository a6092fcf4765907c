#include "paramsteps/CarryPreview.h"

#include "format/DataBlock.h"
#include "format/FieldDescriptor.h"
#include "format/StringTable.h"
#include "locations/Locations.h"
#include "params/DataFileVerification.h"
#include "params/LocalListingTexts.h"
#include "paramsteps/ParameterFileSet.h"
#include "platform/File.h"
#include "platform/FileCopy.h"
#include "platform/Paths.h"

namespace {
std::string LastComponent(const std::string& path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The format a configuration's values are listed with: its own, else the
// product's.
std::string FormatFor(const std::string& productDir, const std::string& name)
{
    std::string own = JoinPath(JoinPath(JoinPath(productDir, "config"), name), "tornelix.fmt");
    return FileExists(own) ? own : JoinPath(productDir, "tornelix.fmt");
}

// The values as state 2 would save them; the data file is read, never
// replaced: a damaged one is read from its whole backup, which the update's
// check would put in its place.
bool ListValues(const std::string& dataFile, const std::string& format, const std::string& listing)
{
    std::string source = dataFile;
    if (!IsDataFileWhole(source)) {
        source = dataFile + ".bak";
        if (!IsDataFileWhole(source))
            return false;
    }
    std::vector<unsigned char> block;
    try {
        if (!ReadDataBlock(source, "CController", block))
            return false;
    } catch (const FileError&) {
        return false;
    }
    CFieldDescriptor descriptor(LocalListingTexts());
    bool described =
        descriptor.DescribeBlock(listing, "CController", block.data(), static_cast<int>(block.size()), format);
    descriptor.Reset();
    ReleaseStringTable();
    return described;
}
} // namespace

std::vector<ConfigurationPreview> PreviewConfigurations(const PathList& dataFiles, const std::string& workDir,
                                                        const std::string& newProductDir)
{
    std::vector<ConfigurationPreview> previews;
    for (const std::string& dataFile : dataFiles) {
        ConfigurationPreview preview;
        preview.dataFile = dataFile;
        preview.name = LastComponent(dataFile.substr(0, dataFile.find_last_of('\\')));
        std::string listing = JoinPath(workDir, preview.name + "_amend.dat");
        RemoveFile(listing);
        preview.readable = IsAmendFile(dataFile) ? SaveAmendValues(dataFile, listing)
                                                 : ListValues(dataFile, FormatFor(ProductDir(), preview.name), listing);
        std::string newConfig = JoinPath(JoinPath(newProductDir, "config"), preview.name);
        if (preview.readable && DirectoryExists(newConfig))
            preview.reported = ReadCarryReport(preview.name, listing, JoinPath(newConfig, "amend.dat"),
                                               FormatFor(newProductDir, preview.name), preview.report);
        previews.push_back(preview);
    }
    return previews;
}
