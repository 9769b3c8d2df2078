// SPDX-License-Identifier: MIT
// Arbitrary bytes as a command line, through argument decoding, option parsing and report
// building. The bytes split into arguments at each NUL, as the kernel hands them over; the
// first is the program path, which is decoded too. Only a refused command line may end
// a run with an exception; anything else escaping, or a wrong report, is a finding.
#include "CLI.h"
#include "CLIException.h"
#include "CLIParser.h"
#include "VorlixConfig.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

bool oneOf(uint8_t value, std::initializer_list<uint8_t> accepted) {
    for (uint8_t candidate : accepted) {
        if (value == candidate) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> arguments(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back().push_back(static_cast<char>(data[i]));
        }
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    try {
        CLI cli(static_cast<int>(arguments.size()), argv.data());
        const CLIConfiguration configuration = CLIParser().parse(cli.arguments());
        const Packet report = configuration.vorlixConfig.serialize();
        // Whatever was accepted, the mouse must get a whole report with codes it knows.
        if (report.size() != 32 || report[0] != 0x10 || !oneOf(report[2], {0x0A, 0x0E, 0x1C, 0x2C, 0x54}) ||
            !oneOf(report[31], {1, 2, 4, 8})) {
            std::abort();
        }
    } catch (const CLIException& e) {
        if (e.getExitCode() != CLI::EXIT_CODE_BAD_CLI_ARGUMENTS || e.getMessage().empty()) {
            std::abort();
        }
    }
    return 0;
}
