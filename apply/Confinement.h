// SPDX-License-Identifier: MIT
#pragma once

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

// Confines the calling process, which must not have started any thread yet. What cannot be
// applied is said in one English line (to the system log when udev runs it, since udev keeps no
// output, else on standard error) and the program goes on: a mouse still gets its settings
// where a layer is missing, as it did before there were any. Landlock not being offered is no
// failure. Under valgrind, which they would bind too, the file rules and the filter are left out.
void confineApply();

} // namespace Confinement
