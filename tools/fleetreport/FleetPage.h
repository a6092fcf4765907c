// The fleet page: one self-contained UTF-8 HTML file (styles, script and
// chart inline, no address outside itself) with the counts per outcome, the
// controllers that need someone first, and one row per controller.
#pragma once
#include <string>
#include <vector>

#include "Controller.h"

struct PageHeading {
    std::string collected; // the folder the files were collected in, UTF-8
    std::string written;   // when the page was written
};

std::string FleetPage(const std::vector<Controller>& controllers, const PageHeading& heading);

// text for HTML content and attribute values: the five special characters
// escaped, bytes that are not UTF-8 replaced.
std::string HtmlEscaped(const std::string& text);
