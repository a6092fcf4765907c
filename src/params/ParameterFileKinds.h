// The kinds of parameter files: the one list of the names that a saved copy
// of the data tree must not bring back and that the purge of a configuration
// directory removes. Names are matched in lower case.
#pragma once
#include <cstddef>
#include <string>

// A name that contains first, and after it second ("tornelix" ... "dat").
struct NamePair {
    const char* first;
    const char* second;
};

// Removed from a saved data tree, in this order: whole names, fragments,
// pairs, then the last names.
extern const char* const kParameterWholeNames[];
extern const size_t kParameterWholeNameCount;
extern const char* const kParameterFragments[];
extern const size_t kParameterFragmentCount;
extern const NamePair kParameterDataFilePairs[]; // also what a configuration purge removes
extern const size_t kParameterDataFilePairCount;
extern const char* const kParameterLastNames[];
extern const size_t kParameterLastNameCount;

// The parameter data file of a configuration, the file whose controller
// block is saved.
extern const char kParameterDataFileName[]; // "tornelix.dat"

// A file name of the parameter file set (any letter case): such a file holds
// the machine's values, never the operator's work.
bool IsParameterFileName(const std::string& name);
