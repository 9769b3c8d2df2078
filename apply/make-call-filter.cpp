// SPDX-License-Identifier: MIT
// Writes the header that holds vorlixd-apply's system-call filter, made here once, at build time,
// by libseccomp: the program then neither loads the library nor compiles the filter each time a
// mouse appears, which on a slow machine the mouse would wait for.
// Usage: make-call-filter HEADER
#include <linux/filter.h>
#include <linux/hidraw.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The system calls that vorlixd-apply makes, the C library's and libudev's beneath it included, on
// every path: listing and opening the mice, reading both settings files and the locale, the
// pauses between tries, writing to a pipe, a terminal or the system log, and ending, by abort()
// too. Debian 13's libraries look at files with fstat and statx where Debian 12's use newfstatat.
const int CALLS[] = {
    SCMP_SYS(read),
    SCMP_SYS(write),
    SCMP_SYS(openat),
    SCMP_SYS(close),
    SCMP_SYS(lseek),
    SCMP_SYS(newfstatat),
    SCMP_SYS(fstat),
    SCMP_SYS(statx),
    SCMP_SYS(fstatfs),
    SCMP_SYS(access),
    SCMP_SYS(faccessat2),
    SCMP_SYS(readlinkat),
    SCMP_SYS(getdents64),
    SCMP_SYS(brk),
    SCMP_SYS(mmap),
    SCMP_SYS(munmap),
    SCMP_SYS(mprotect),
    SCMP_SYS(futex),
    SCMP_SYS(getrandom),
    SCMP_SYS(connect),
    SCMP_SYS(sendto),
    SCMP_SYS(clock_nanosleep),
    SCMP_SYS(exit_group),
    SCMP_SYS(rt_sigprocmask),
    SCMP_SYS(rt_sigaction),
    SCMP_SYS(getpid),
    SCMP_SYS(gettid),
    SCMP_SYS(tgkill),
    // Recording what each mouse was sent: in the mouse's turn, which a lock on a file beside its
    // record holds, a new file, synced, renamed over the old one, and the time it happened.
    SCMP_SYS(flock),
    SCMP_SYS(fchmod),
    SCMP_SYS(fsync),
    SCMP_SYS(rename),
    SCMP_SYS(renameat),
    SCMP_SYS(renameat2),
    SCMP_SYS(unlink),
    SCMP_SYS(unlinkat),
    SCMP_SYS(clock_gettime),
};

// umockdev's preload, inside the process under the tests' testbed, resolves paths itself and
// asks the testbed over a socket for each request to an emulated node.
const int TESTBED_CALLS[] = {SCMP_SYS(getcwd), SCMP_SYS(readlink), SCMP_SYS(recvfrom)};

#ifdef VORLIXD_SANITIZE
// The sanitizers' runtime probes memory through a pipe, writes a report with open(), and the leak
// check stops the process under ptrace from a clone of itself.
const int SANITIZER_CALLS[] = {
    SCMP_SYS(pipe2), SCMP_SYS(open),    SCMP_SYS(clone),       SCMP_SYS(ptrace),
    SCMP_SYS(wait4), SCMP_SYS(prctl),   SCMP_SYS(sched_yield), SCMP_SYS(sigaltstack),
    SCMP_SYS(exit),  SCMP_SYS(getppid), SCMP_SYS(getdents),
};
#endif

// Only a local socket, the system log's; only the requests hidapi makes of a hidraw node, and the
// C library's question whether standard output is a terminal. The size a request carries is left
// out of the comparison: a feature report's is its length.
bool allowWithArguments(scmp_filter_ctx filter) {
    const scmp_datum_t requestBits = _IOC_DIRMASK << _IOC_DIRSHIFT | _IOC_TYPEMASK << _IOC_TYPESHIFT |
                                     _IOC_NRMASK << _IOC_NRSHIFT;
    const scmp_datum_t requests[] = {HIDIOCGRDESCSIZE, HIDIOCSFEATURE(0), TCGETS};
    for (const scmp_datum_t request : requests) {
        const scmp_arg_cmp same{1, SCMP_CMP_MASKED_EQ, requestBits, request & requestBits};
        if (seccomp_rule_add_array(filter, SCMP_ACT_ALLOW, SCMP_SYS(ioctl), 1, &same) != 0) {
            return false;
        }
    }
    const scmp_arg_cmp local{0, SCMP_CMP_EQ, AF_UNIX, 0};
    return seccomp_rule_add_array(filter, SCMP_ACT_ALLOW, SCMP_SYS(socket), 1, &local) == 0;
}

// The filter allowing CALLS, and under the testbed TESTBED_CALLS too, as C++ initializers of
// sock_filter, one instruction each; empty when libseccomp fails. Anything else is refused with
// EPERM: a call missing from the list then shows as an error in what vorlixd-apply says, not as
// a process killed without a word.
std::string filterFor(bool underTestbed) {
    std::vector<int> calls(std::begin(CALLS), std::end(CALLS));
    if (underTestbed) {
        calls.insert(calls.end(), std::begin(TESTBED_CALLS), std::end(TESTBED_CALLS));
    }
#ifdef VORLIXD_SANITIZE
    calls.insert(calls.end(), std::begin(SANITIZER_CALLS), std::end(SANITIZER_CALLS));
#endif
    const scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    bool made = filter != nullptr;
    for (const int call : calls) {
        made = made && seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
    }
    made = made && allowWithArguments(filter);
    std::FILE* program = std::tmpfile();
    made = made && program != nullptr && seccomp_export_bpf(filter, fileno(program)) == 0;
    seccomp_release(filter);
    std::string initializers;
    if (made) {
        std::rewind(program);
        sock_filter instruction{};
        while (std::fread(&instruction, sizeof instruction, 1, program) == 1) {
            initializers += "    {" + std::to_string(instruction.code) + ", " + std::to_string(instruction.jt) + ", " +
                            std::to_string(instruction.jf) + ", " + std::to_string(instruction.k) + "u},\n";
        }
    }
    if (program != nullptr) {
        std::fclose(program);
    }
    return initializers;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("Usage: make-call-filter HEADER\n", stderr);
        return 2;
    }
    const std::string plain = filterFor(false);
    const std::string underTestbed = filterFor(true);
    if (plain.empty() || underTestbed.empty()) {
        std::fputs("make-call-filter: libseccomp could not make the filter.\n", stderr);
        return 1;
    }
    std::ofstream header(argv[1]);
    header << "// Made by make-call-filter at build time: vorlixd-apply's system-call filter.\n"
              "#pragma once\n#include <linux/filter.h>\n"
              "namespace CallFilter {\n"
              "inline sock_filter PLAIN[] = {\n"
           << plain
           << "};\n"
              "// Under the tests' testbed, whose preload inside the process makes calls of its own.\n"
              "inline sock_filter UNDER_TESTBED[] = {\n"
           << underTestbed << "};\n}\n";
    header.close();
    return header ? 0 : 1;
}
