#include "diag_test.h"

#include "diag_main.h"

RunResult RunDiag(std::vector<std::string> args) {
    args.insert(args.begin(), "d418diag");
    std::vector<char *> argv;
    for (std::string &arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    int status = DiagMain((int)args.size(), argv.data());
    return {status, testing::internal::GetCapturedStdout()};
}
