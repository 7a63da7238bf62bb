// Programs of the build run as a production line runs them, the same way on
// Linux and under Wine: through os::start_child, in a folder of the test's,
// with variables of their own on top of the test's environment, standard
// output and error read together. Several run at once when started together.
#pragma once

#include "os.h"
#include "process.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace plexmoor::testing {

#ifdef _WIN32
inline constexpr const char* kProgramSuffix = ".exe";
inline constexpr char kPathListSeparator = ';';
#else
inline constexpr const char* kProgramSuffix = "";
inline constexpr char kPathListSeparator = ':';
#endif

using Variables = std::vector<std::pair<std::string, std::string>>;

struct ProgramRun {
    ProgramRun(std::vector<std::string> a, Variables e = {})
        : args(std::move(a)), env(std::move(e)) {}
    std::vector<std::string> args; // args[0]: a program of the build, by name
    Variables env;
    int status = -1;
    std::string out;
    os::Child child;
};

// "plexmoor-cli program demo.b": words apart at spaces.
inline std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// Started in folder, each with its variables; the test's own environment
// and folder are as they were afterwards.
inline void StartRuns(const std::filesystem::path& folder, std::vector<ProgramRun>& runs) {
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    for (ProgramRun& run : runs) {
        std::vector<std::pair<std::string, std::optional<std::string>>> before;
        for (const auto& [name, value] : run.env) {
            const char* was = std::getenv(name.c_str());
            before.emplace_back(name, was ? std::optional<std::string>(was) : std::nullopt);
            os::set_environment(name.c_str(), value.c_str());
        }
        std::vector<std::string> args = run.args;
        args[0] = (std::filesystem::path(PLEXMOOR_PRODUCT_BIN) / (args[0] + kProgramSuffix))
                      .make_preferred()
                      .string();
        std::string why;
        EXPECT_TRUE(os::start_child(args, run.child, why)) << args[0] << ": " << why;
        for (auto it = before.rbegin(); it != before.rend(); ++it)
            os::set_environment(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
    }
    std::filesystem::current_path(here);
}

// Reads every run's output until it closes, then waits for each.
inline void FinishRuns(std::vector<ProgramRun>& runs) {
    std::vector<os::Child> children;
    for (ProgramRun& run : runs)
        children.push_back(std::move(run.child));
    auto open = [&] {
        for (const os::Child& c : children)
            if (c.open) return true;
        return false;
    };
    while (open())
        os::read_children(children, 1000);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        runs[i].out = children[i].unread;
        runs[i].status = children[i].id > 0 ? os::wait_child(children[i]) : -1;
    }
}

inline ProgramRun RunProgram(const std::filesystem::path& folder, const std::string& line,
                             const Variables& env = {}) {
    std::vector<ProgramRun> runs{{Words(line), env}};
    StartRuns(folder, runs);
    FinishRuns(runs);
    return runs[0];
}

} // namespace plexmoor::testing
