#include "settings/patch.h"

#include <algorithm>

namespace vornik::settings {

std::optional<InputError> Patch::Set(Block block, std::string_view name, std::string_view value)
{
    auto parsed = ParseField(block, name, value);
    if (auto* error = std::get_if<InputError>(&parsed)) return *error;
    Erase(block, name);
    m_changes.push_back({FindField(block, name), std::get<FieldValue>(std::move(parsed))});
    return std::nullopt;
}

std::optional<InputError> Patch::SetAssignment(Block block, std::string_view assignment)
{
    const size_t eq = assignment.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return InputError{std::string(assignment),
                          "'" + std::string(assignment) + "' is not FIELD=VALUE (e.g. server3.target-port=4001)"};
    return Set(block, assignment.substr(0, eq), assignment.substr(eq + 1));
}

void Patch::Erase(Block block, std::string_view name)
{
    std::erase_if(m_changes, [&](const Change& c) { return c.field->block == block && c.field->name == name; });
}

bool Patch::Contains(Block block, std::string_view name) const
{
    return std::any_of(m_changes.begin(), m_changes.end(),
                       [&](const Change& c) { return c.field->block == block && c.field->name == name; });
}

bool Patch::Touches(Block block) const
{
    return std::any_of(m_changes.begin(), m_changes.end(), [&](const Change& c) { return c.field->block == block; });
}

std::vector<std::string> Patch::Names(Block block) const
{
    std::vector<std::string> names;
    for (const Change& c : m_changes)
        if (c.field->block == block) names.push_back(c.field->name);
    return names;
}

template <typename Params>
void Patch::Store(Block block, Params& params) const
{
    for (const Change& c : m_changes)
        if (c.field->block == block) StoreField(*c.field, c.value, params);
}

void Patch::ApplyTo(NetworkParams& params) const { Store(Block::Network, params); }

void Patch::ApplyTo(DeviceParams& params) const { Store(Block::Device, params); }

} // namespace vornik::settings
