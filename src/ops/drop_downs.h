// The drop-downs of the two pages: their entries as the window shows them,
// and the settings field each one sets. The pages fill their lists from here
// and the read-back line words a drop-down's value with the same entries, so
// an operator reads "NONE" where the page shows "NONE", never the file's "none".
// A list of numbers is every value its field's bounds take; a list of words
// has one entry for each of its field's choices.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/fields.h"

namespace vornik {

struct DropDown {
    int control;
    settings::Block block;
    std::string field;                // "parity", as the settings table names it
    int first;                        // the field's value of entry 0 (5 for the data bits)
    std::vector<std::string> entries; // UTF-8, top to bottom
};

const std::vector<DropDown>& DropDowns();
const DropDown& DropDownOf(int control);

// A drop-down field's value, as the settings table writes it ("none", "probe",
// "8"), in the words of its entry ("NONE", "温湿度探头", "8"); any other
// field's value, or a value no entry shows, as it is.
std::string ShownValue(settings::Block block, const std::string& field, const std::string& value);

} // namespace vornik
