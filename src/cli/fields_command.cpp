// vornikctl fields
#include <cstdio>

#include "cli/console.h"
#include "cli/context.h"
#include "cli/reporter.h"

namespace vornik::cli {

namespace {

using settings::Block;

int RunFields(const Context& context)
{
    if (context.globals.json) {
        Json fields = Json::array();
        for (const auto& f : settings::Fields())
            fields.push_back(Json{{"block", f.block == Block::Network ? "network" : "device"},
                                  {"name", f.name},
                                  {"accepts", f.accepts}});
        Emit(Json{{"command", context.Command()}, {"ok", true}, {"fields", fields}});
    } else {
        for (const auto& f : settings::Fields())
            Print("%-8s %-26s %s\n", f.block == Block::Network ? "net" : "dev", f.name.c_str(), f.accepts.c_str());
    }
    return EXIT_CONFIRMED;
}

} // namespace

void AddFieldsCommand(CLI::App& app, Context& context)
{
    app.add_subcommand("fields", "list every field name with the values it accepts")
        ->callback([&context] { context.exitCode = RunFields(context); });
}

} // namespace vornik::cli
