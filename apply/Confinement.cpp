// SPDX-License-Identifier: MIT
#include "Confinement.h"

#include "CallFilter.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/landlock.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Failures = Confinement::Failures;

void fail(Failures& failures, const std::string& what, int error) {
    failures.push_back(what + " (" + std::strerror(error) + ")");
}

// Root with no capability left still owns the hidraw nodes, sysfs, udev's database and both
// settings files, which is all it opens. A process that holds none (a person's own run, or the
// unit, which gets none and whose filter refuses capset) has nothing to give up: ambient ones
// need permitted ones, and its bounding set only bounds a program it would start, which
// no_new_privs keeps from gaining any.
void dropCapabilities(Failures& failures) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct held[_LINUX_CAPABILITY_U32S_3] = {};
    bool holdsAny = syscall(SYS_capget, &header, held) != 0;
    for (const __user_cap_data_struct& word : held) {
        holdsAny = holdsAny || word.effective != 0 || word.permitted != 0 || word.inheritable != 0;
    }
    if (!holdsAny) {
        return;
    }
    // The kernel answers EINVAL past its last capability.
    int capability = 0;
    while (prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) == 0) {
        ++capability;
    }
    if (errno != EINVAL) {
        fail(failures, "the capability bounding set", errno);
    }
    // Kernels older than ambient capabilities have none to clear.
    if (prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL) {
        fail(failures, "the ambient capabilities", errno);
    }
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capset, &header, none) != 0) {
        fail(failures, "the capabilities", errno);
    }
}

// Landlock's file rights up to its second version; those of later versions stay the kernel's
// default, allowed.
constexpr uint64_t FILE_RIGHTS = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE |
                                 LANDLOCK_ACCESS_FS_READ_FILE;
constexpr uint64_t VERSION_1_RIGHTS = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;
constexpr uint64_t READ = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR;
constexpr uint64_t READ_WRITE = READ | LANDLOCK_ACCESS_FS_WRITE_FILE;
// A file replaced whole: a new one made beside it and renamed over it.
constexpr uint64_t REPLACE = READ_WRITE | LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_REMOVE_FILE;

struct Access {
    std::string path;
    uint64_t rights;
};

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Everything it opens after confining itself, from the locale the command line is decoded by
// to the node of a mouse that appears while it tries again.
std::vector<Access> accesses(const ApplyEnvironment& environment) {
    std::vector<Access> list = {
        {"/sys", READ},
        {"/run/udev", READ},
        {folderOf(environment.administratorFile), READ},
        // And wherever a link there leads: it has always been read as systemd reads it, links followed.
        {environment.administratorFile, READ},
        {folderOf(environment.kept.path()), READ},
        {environment.records.folder(), REPLACE},
        {"/usr/lib/locale", READ},
        {"/usr/share/locale/locale.alias", READ},
        // The conversions of the locale's character set, in which hidapi decodes the mice's names.
        {VORLIXD_GCONV_DIRECTORY, READ},
        // The time zone, for the system log's time stamps.
        {"/etc/localtime", READ},
        {"/dev", READ_WRITE},
    };
    // umockdev's testbed, where the tests' emulated mice are: its preload, inside this process,
    // sends every access to /sys, /dev and udev's database there.
    if (environment.testbed && environment.testbed->compare(0, 1, "/") == 0) {
        list.push_back({*environment.testbed, READ_WRITE});
    }
#ifdef VORLIXD_SANITIZE
    // The leak check reads the process's maps and threads; a report goes to the working folder.
    list.push_back({"/proc", READ});
    list.push_back({".", READ_WRITE | LANDLOCK_ACCESS_FS_MAKE_REG});
#endif
    return list;
}

// Where Landlock is not offered, the layer is left out and nothing is said: a kernel built
// without it or started with it off, or the system-call filter of whatever started the process
// refusing even the question (the kernel never answers it with EPERM). systemd 252's filters,
// udev's own included, do that at every plug-in; saying so each time would only teach people to
// overlook the line when it tells of a real failure.
void restrictFiles(const ApplyEnvironment& environment, Failures& failures) {
    const long version = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (version < 0) {
        if (errno != ENOSYS && errno != EOPNOTSUPP && errno != EPERM) {
            fail(failures, "the file rules", errno);
        }
        return;
    }
    // Newer headers give the ruleset more fields, which stay empty.
    landlock_ruleset_attr ruleset{};
    ruleset.handled_access_fs = VERSION_1_RIGHTS | (version >= 2 ? LANDLOCK_ACCESS_FS_REFER : 0);
    const int rules = static_cast<int>(syscall(SYS_landlock_create_ruleset, &ruleset, sizeof ruleset, 0));
    if (rules < 0) {
        fail(failures, "the file rules", errno);
        return;
    }
    for (const Access& access : accesses(environment)) {
        // Straight to the kernel, past umockdev's preload, which would send /sys and /dev to its
        // testbed: the rules must hold the real folders too, since its nodes are links to real
        // terminals. What is not there holds nothing to read.
        const int path = static_cast<int>(syscall(SYS_openat, AT_FDCWD, access.path.c_str(), O_PATH | O_CLOEXEC));
        if (path < 0) {
            continue;
        }
        struct stat status {};
        const bool isFolder = fstat(path, &status) == 0 && S_ISDIR(status.st_mode);
        landlock_path_beneath_attr rule{isFolder ? access.rights : access.rights & FILE_RIGHTS, path};
        const bool added = syscall(SYS_landlock_add_rule, rules, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) == 0;
        const int error = errno;
        close(path);
        if (!added) {
            fail(failures, "the file rules", error);
            close(rules);
            return;
        }
    }
    if (syscall(SYS_landlock_restrict_self, rules, 0) != 0) {
        fail(failures, "the file rules", errno);
    }
    close(rules);
}

// The filter made at build time by make-call-filter: the calls vorlixd-apply makes, and under
// the tests' testbed those of its preload too. Anything else is refused with EPERM.
void filterCalls(const ApplyEnvironment& environment, Failures& failures) {
    const bool underTestbed = environment.testbed.has_value();
    sock_fprog program{};
    program.len = static_cast<unsigned short>(underTestbed ? std::size(CallFilter::UNDER_TESTBED)
                                                           : std::size(CallFilter::PLAIN));
    program.filter = underTestbed ? CallFilter::UNDER_TESTBED : CallFilter::PLAIN;
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
        fail(failures, "the system-call filter", errno);
    }
}

} // namespace

Failures Confinement::confineApply(const ApplyEnvironment& environment) {
    Failures failures;
    // The file rules hold only what exists when they are made, and udev may run it at boot
    // before anything else made the records' folder.
    mkdir(environment.records.folder().c_str(), 0755);
    dropCapabilities(failures);
    // Without it, a process without capabilities may apply neither the file rules nor the filter.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) {
        fail(failures, "no_new_privs", errno);
    }
    // valgrind runs the program on its own processor inside the same process, so a filter or file
    // rules would bind valgrind's own calls and files as well, and it dies of them; memcheck is
    // there for the program's memory.
    if (environment.underValgrind) {
        failures.push_back("the file rules and the system-call filter (valgrind cannot run a process bound by them)");
    } else {
        restrictFiles(environment, failures);
        // Last, since the calls that set up the layers are not on its list.
        filterCalls(environment, failures);
    }
    return failures;
}
