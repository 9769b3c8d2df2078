// SPDX-License-Identifier: MIT
#pragma once

#include "ApplyEnvironment.h"

#include <string>
#include <vector>

// vorlixd-apply runs as root at every plug-in, straight from udev, with every capability; it
// reads text that others may have written and talks to whatever device appeared. Being root is
// only how it owns the files and nodes it opens, so before it reads anything it gives up the
// rest for good:
// - every capability (bounding, effective, permitted, inheritable and ambient sets);
// - gaining any privilege again through exec (no_new_privs);
// - every system call it does not make, each answered with EPERM, so that a call missing from
//   the list shows as an error in what it says rather than as a killed process;
// - where Landlock is offered, every file but those it reads (sysfs, udev's database, the
//   administrator's file and its folder, the kept settings' folder, the locale data), the
//   device nodes it opens and the folder where it records what each mouse was sent.
namespace Confinement {

// What could not be applied, each as "what (why)".
using Failures = std::vector<std::string>;

// Confines the calling process, which must not have started any thread yet, to what it needs in
// `environment`. What cannot be applied is returned, and the program goes on: a mouse still gets
// its settings where a layer is missing, as it did before there were any. Landlock not being
// offered is no failure. Under valgrind, which they would bind too, the file rules and the filter
// are left out.
Failures confineApply(const ApplyEnvironment& environment);

} // namespace Confinement
