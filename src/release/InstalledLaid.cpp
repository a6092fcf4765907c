#include "release/InstalledLaid.h"

#include "locations/Locations.h"
#include "logs/TraceLog.h"
#include "release/RecordFile.h"
#include "release/RecordPlaces.h"

namespace {
const RecordKind kLaidKind = {"TLXLAID", 1, 1, true, nullptr};
} // namespace

bool WriteInstalledLaid(const std::string& dataTree, const std::vector<LaidFile>& laid)
{
    std::vector<RecordFields> records = {{"data", dataTree}};
    for (const LaidFile& file : laid)
        records.push_back({"laid", file.path, file.stamp});
    if (WriteWholeRecord(LaidRecordFilePath(), kLaidKind, records))
        return true;
    TraceMessage("|E|laid record %s not written", LaidRecordFilePath().c_str());
    return false;
}

std::vector<LaidFile> ReadInstalledLaid(std::string* problem)
{
    RecordRead read = ReadRecordFile(LaidRecordFilePath(), kLaidKind);
    if (read.state != RecordState::ok) {
        if (read.state == RecordState::damaged)
            *problem = LaidRecordFilePath() + ": " + read.problem;
        return {};
    }
    std::string dataTree;
    std::vector<LaidFile> laid;
    for (const RecordFields& f : read.records) {
        if (f.size() == 2 && f[0] == "data") {
            dataTree = f[1];
        } else if (f.size() == 3 && f[0] == "laid") {
            laid.push_back({f[1], f[2]});
        } else {
            *problem = LaidRecordFilePath() + ": a line of another kind: " + f[0];
            return {};
        }
    }
    // A laid file outside the product's data tree would make the set-aside
    // move a file of anyone's on the record's word.
    *problem = DataTreeProblem(dataTree, {&laid});
    if (!problem->empty()) {
        *problem = LaidRecordFilePath() + ": " + *problem;
        return {};
    }
    return laid;
}
