// The texts of a block listing in the process's current language, for the
// callers of the field descriptor.
#pragma once
#include "format/ListingTexts.h"

ListingTexts LocalListingTexts();
