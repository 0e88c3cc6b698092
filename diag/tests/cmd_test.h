// Shared setup of d418cmd's host tests: runs CmdMain with stdout and stderr
// captured, against the simulated loader that DiagTest resets.
#pragma once

#include <cstdio>
#include <unistd.h>
#include <string>
#include <vector>

#include "cmd_main.h"
#include "diag_test.h"

struct CmdRun {
    int status;
    std::string out;
    std::string err;
};

// Runs d418cmd with these arguments after the program name.
inline CmdRun RunCmd(std::vector<std::string> args) {
    args.insert(args.begin(), "d418cmd");
    std::vector<char *> argv;
    for (std::string &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int status = CmdMain((int)args.size(), argv.data());
    std::string out = testing::internal::GetCapturedStdout();
    return {status, out, testing::internal::GetCapturedStderr()};
}

// A script file in the test's temporary folder, removed with the object.
// Its name carries the process id: ctest runs each test as a process of its
// own, several at once, and they share the temporary folder.
class ScriptFile {
public:
    explicit ScriptFile(const std::string &text)
        : path_(testing::TempDir() + "d418cmd_script_" + std::to_string(getpid()) + ".txt") {
        std::FILE *file = std::fopen(path_.c_str(), "wb");
        if (file) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
    }
    ~ScriptFile() { std::remove(path_.c_str()); }
    const std::string &path() const { return path_; }

private:
    std::string path_;
};
