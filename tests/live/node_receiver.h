// What the tests against real receivers share: the check that the test runs
// where loopback is the only interface (a network namespace of its own), and
// a Node.js receiver from tests/live (installed by scripts/deps) printing one
// JSON line per packet. Needs QUORVANE_LIVE_TESTS and QUORVANE_NODE.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/test_support.h"

inline bool OnlyLoopback() {
    std::ifstream devices("/proc/net/dev");
    std::string line;
    int index = 0;
    while (std::getline(devices, line)) {
        if (index++ < 2) continue;
        std::string name = line.substr(0, line.find(':'));
        name.erase(0, name.find_first_not_of(' '));
        if (name != "lo") return false;
    }
    return index > 2;
}

struct NodeReceiver {
    ChildProcess child;

    NodeReceiver(const ScopedTempDir& dir, const char* script, std::vector<std::string> args) {
        args.insert(args.begin(), std::string(QUORVANE_LIVE_TESTS) + "/" + script);
        child = StartChild(QUORVANE_NODE, args, dir.path(), script);
        const bool ready = WaitUntil(
            [&] { return ReadWholeFile(child.stdoutPath).find("\"ready\"") != std::string::npos; },
            10000);
        EXPECT_TRUE(ready) << script << " did not start: " << ReadWholeFile(child.stderrPath)
                           << "\n(the receivers are installed by scripts/deps)";
    }
    ~NodeReceiver() { StopChild(child); }

    std::vector<nlohmann::json> Lines() const {
        std::vector<nlohmann::json> out;
        std::istringstream text(ReadWholeFile(child.stdoutPath));
        std::string line;
        while (std::getline(text, line)) {
            nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
            if (value.is_object() && value.contains("kind")) out.push_back(value);
        }
        return out;
    }
    std::vector<nlohmann::json> WaitForLines(size_t count) const {
        WaitUntil([&] { return Lines().size() >= count; }, 5000);
        return Lines();
    }
};
