#include "tool_runner.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace lensporttest {
namespace {

// Variables of the test's own run that must not reach the tool.
bool Inherited(const std::string& entry) {
    for (const char* name : {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM=", "XDG_DATA_HOME=",
                             "CAPDECK_PRSDK_SCENARIO="}) {
        if (entry.rfind(name, 0) == 0) return false;
    }
    return true;
}

} // namespace

ToolRunner::ToolRunner(const std::string& scenario) {
    char pattern[] = "/tmp/lensport-cli-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ + "/data-home");
    fs::create_directories(WorkFolder());
    scenarioFile_ = root_ + "/scenario.ini";
    std::ofstream(scenarioFile_) << scenario;
}

ToolRunner::~ToolRunner() {
    std::error_code ec;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
}

RunResult ToolRunner::Run(const std::vector<std::string>& args) const {
    return RunProgram(CAPDECK_BIN_DIR "/lensport", args);
}

RunResult ToolRunner::RunProgram(const std::string& program,
                                 const std::vector<std::string>& args) const {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (Inherited(*e)) env.emplace_back(*e);
    }
    env.push_back("XDG_DATA_HOME=" + root_ + "/data-home");
    env.push_back("CAPDECK_PRSDK_SCENARIO=" + scenarioFile_);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argvp;
    for (auto& a : argv)
        argvp.push_back(a.data());
    argvp.push_back(nullptr);

    const std::string outFile = root_ + "/stdout.txt";
    const std::string errFile = root_ + "/stderr.txt";
    const std::string work = WorkFolder();
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(work.c_str()) != 0)
            _exit(126);
        execve(argvp[0], argvp.data(), envp.data());
        _exit(127);
    }
    RunResult result;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) {
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    result.out = ReadFile(outFile);
    result.err = ReadFile(errFile);
    return result;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace lensporttest
