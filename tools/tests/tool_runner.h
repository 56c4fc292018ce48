// Runs the built lensport as a separate program, the way scripts do: its own
// environment (temporary data folder, scenario, no display), output captured.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace lensporttest {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ToolRunner {
public:
    // A temporary root holding the data home, a work folder and the scenario file.
    explicit ToolRunner(const std::string& scenario);
    ~ToolRunner();
    ToolRunner(const ToolRunner&) = delete;
    ToolRunner& operator=(const ToolRunner&) = delete;

    RunResult Run(const std::vector<std::string>& args) const;
    // The same with another program file (a copied program folder).
    RunResult RunProgram(const std::string& program, const std::vector<std::string>& args) const;

    std::string Root() const { return root_; }
    std::string DataFolder() const { return root_ + "/data-home/Quorvel/Lumetta Capture"; }
    std::string WorkFolder() const { return root_ + "/work"; }

private:
    std::string root_;
    std::string scenarioFile_;
};

std::string ReadFile(const std::string& path);
std::vector<std::string> Lines(const std::string& text);

} // namespace lensporttest
