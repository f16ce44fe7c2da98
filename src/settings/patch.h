// A set of checked changes to one or both parameter blocks. Each value is
// checked and parsed once, when it is set; applying it only stores it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/fields.h"

namespace vornik::settings {

class Patch {
public:
    // Checks the value and records the change; on bad input nothing is recorded.
    std::optional<InputError> Set(Block block, std::string_view name, std::string_view value);
    // "name=value"; the field must belong to the block.
    std::optional<InputError> SetAssignment(Block block, std::string_view assignment);

    void Erase(Block block, std::string_view name);
    bool Contains(Block block, std::string_view name) const;
    bool Touches(Block block) const;
    bool Empty() const { return m_changes.empty(); }
    std::vector<std::string> Names(Block block) const;

    // Changes only the named fields; every other byte stays as it was.
    void ApplyTo(NetworkParams& params) const;
    void ApplyTo(DeviceParams& params) const;

private:
    struct Change {
        const FieldInfo* field;
        FieldValue value;
    };
    template <typename Params>
    void Store(Block block, Params& params) const;

    std::vector<Change> m_changes;
};

} // namespace vornik::settings
