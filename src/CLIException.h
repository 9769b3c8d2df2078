// SPDX-License-Identifier: MIT
#pragma once

#include <string>

// A refused option or value; main turns it into an error line and the exit code it carries.
class CLIException {
public:
    CLIException(const std::wstring& message, int exitCode) : message(message), exitCode(exitCode) {}

    std::wstring getMessage() const { return message; }
    int getExitCode() const { return exitCode; }

private:
    std::wstring message;
    int exitCode;
};
