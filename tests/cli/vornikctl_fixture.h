// The fixture of vornikctl's end-to-end tests: the program as a child
// process on a loopback link of the test's own (a port of its own, replies to
// 127.255.255.255, sending from 127.0.0.2), its --json output parsed.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli_process.h"
#include "sim_process.h"

namespace vornik::test {

using Json = nlohmann::json;

inline const std::string kMac1 = "02-00-00-00-00-01", kMac2 = "02-00-00-00-00-02", kMac3 = "02-00-00-00-00-03",
                  kMac4 = "02-00-00-00-00-04", kMac5 = "02-00-00-00-00-05";

class Vornikctl : public testing::Test {
protected:
    // Runs vornikctl on this test's loopback link with --json.
    RunResult Ctl(std::vector<std::string> args, std::vector<std::string> extra = {})
    {
        std::vector<std::string> all{"--json", "--quiet", "--port", std::to_string(port), "--broadcast",
                                     "127.255.255.255", "--bind", "127.0.0.2", "--interval", "0.2"};
        all.insert(all.end(), extra.begin(), extra.end());
        all.insert(all.end(), args.begin(), args.end());
        return RunProgram(VORNIKCTL_PATH, all);
    }
    // The one JSON document on stdout.
    static Json Doc(const RunResult& r)
    {
        try {
            return Json::parse(r.out);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "stdout is not one JSON document: " << e.what() << "\n" << r.out << "\nstderr:\n" << r.err;
            return Json();
        }
    }
    // Runs and expects every device confirmed.
    Json Confirmed(std::vector<std::string> args)
    {
        const RunResult r = Ctl(args);
        const Json doc = Doc(r);
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_EQ(doc.value("ok", false), true) << r.out;
        return doc;
    }
    std::string TableOf(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--quiet", "--port", std::to_string(port), "--broadcast", "127.255.255.255", "--bind",
                                   "127.0.0.2", "--interval", "0.2"});
        return RunProgram(VORNIKCTL_PATH, args).out;
    }
    std::string TempFile(const std::string& name)
    {
        const std::string path = testing::TempDir() + "vornikctl-" + std::to_string(port) + "-" + name;
        files.push_back(path);
        return path;
    }
    // Each test's history is its own, never the user's: a run's events would
    // otherwise be the next test's recorded blocks.
    Vornikctl() { ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1); }
    ~Vornikctl() override
    {
        for (const auto& f : files) std::remove(f.c_str());
        std::error_code ignored;
        std::filesystem::remove_all(dataHome, ignored);
    }

    const uint16_t port = FreeUdpPort();
    const std::string dataHome = testing::TempDir() + "vornikctl-" + std::to_string(port) + "-data";
    std::vector<std::string> files;
};

} // namespace vornik::test
