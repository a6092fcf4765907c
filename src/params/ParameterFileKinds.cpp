#include "params/ParameterFileKinds.h"

#include "platform/MultiByte.h"

const char* const kParameterWholeNames[] = {"tornelix.dyn",    "tornelix.dat",    "tornelix.dat.bak", "tornelix.dyn.bak",
                                            "tornelix.plcbin", "tornelix.plclst", "config.ini",       "Ncpm.pmt"};
const size_t kParameterWholeNameCount = sizeof kParameterWholeNames / sizeof kParameterWholeNames[0];

const char* const kParameterFragments[] = {".dyn.discarded", "discarded"};
const size_t kParameterFragmentCount = sizeof kParameterFragments / sizeof kParameterFragments[0];

// Stored in lower case: the collector lower-cases names, not keys.
const NamePair kParameterDataFilePairs[] = {
    {"tornelix", "dat"}, {"tornelix", "dat.bak"}, {"tornelix", "discarded"}, {"tornelix", "plcbin"}, {"tornelix", "plclst"},
};
const size_t kParameterDataFilePairCount = sizeof kParameterDataFilePairs / sizeof kParameterDataFilePairs[0];

const char* const kParameterLastNames[] = {"amend.dat", "tornelix.plc", "public.dat"};
const size_t kParameterLastNameCount = sizeof kParameterLastNames / sizeof kParameterLastNames[0];

const char kParameterDataFileName[] = "tornelix.dat";

bool IsParameterFileName(const std::string& name)
{
    // The same rules as the collectors that strip a saved tree of them.
    std::string lower = LowerMultiByte(name);
    for (size_t i = 0; i < kParameterWholeNameCount; ++i)
        if (lower == LowerMultiByte(kParameterWholeNames[i]))
            return true;
    for (size_t i = 0; i < kParameterFragmentCount; ++i)
        if (ContainsMultiByte(lower, kParameterFragments[i]))
            return true;
    for (size_t i = 0; i < kParameterDataFilePairCount; ++i)
        if (ContainsMultiByte(lower, kParameterDataFilePairs[i].first) &&
            ContainsMultiByte(lower, kParameterDataFilePairs[i].second))
            return true;
    for (size_t i = 0; i < kParameterLastNameCount; ++i)
        if (lower == LowerMultiByte(kParameterLastNames[i]))
            return true;
    return false;
}
