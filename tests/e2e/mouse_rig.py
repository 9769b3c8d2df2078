# SPDX-License-Identifier: MIT
"""Emulated USB mice for end-to-end tests.

umockdev fakes sysfs, udev and the /dev/hidrawN nodes, so the real hidapi
hidraw back end and the real libudev run unchanged in any child process
started with MouseRig.env().  The process that creates the rig must itself
run under umockdev-wrapper.

    mouse = rig.add(0x256F, 0xC652, serial="QL-0001")
    result = rig.run([vorlixd, ...])
    assert mouse.reports == [expected_report]
    mouse.fault = SEND_FAILS_ONCE    # or rig.unplug(mouse) / rig.replug(mouse)
"""

import errno
import os
import subprocess
import threading
import warnings

import gi

gi.require_version("UMockdev", "1.0")
with warnings.catch_warnings():
    # PyGObject's importer lacks exec_module(), which Python flags on every run.
    warnings.simplefilter("ignore", ImportWarning)
    from gi.repository import UMockdev

HIDIOCGRDESCSIZE = 0x80044801
HIDIOCGRDESC = 0x90044802
HID_MAX_DESCRIPTOR_SIZE = 4096

# Vendor-defined collection carrying feature report 0x10 (31 data bytes after
# the report ID), so the descriptor agrees with the 32-byte report we accept.
REPORT_DESCRIPTOR = bytes.fromhex(
    "0600ff"    # usage page (vendor 0xFF00)
    "0901"      # usage 1
    "a101"      # collection (application)
    "8510"      # report ID 0x10
    "0902"      # usage 2
    "1500"      # logical minimum 0
    "26ff00"    # logical maximum 255
    "7508"      # report size 8
    "951f"      # report count 31
    "b102"      # feature (data, variable, absolute)
    "c0"        # end collection
)

NO_NODE = "no_node"                        # listed by udev, but opening fails
STRINGS_UNREADABLE = "strings_unreadable"  # manufacturer and product queries fail
NOT_HIDRAW = "not_hidraw"                  # its node is a character device of another kind
SEND_FAILS = "send_fails"                  # every feature report fails with EIO
SEND_FAILS_ONCE = "send_fails_once"        # the next one fails, then the fault clears
SHORT_SEND = "short_send"                  # the device takes only 5 of the report's bytes
NOTHING_TAKEN = "nothing_taken"            # the device takes none of them
FAULTS = {NO_NODE, NOT_HIDRAW, STRINGS_UNREADABLE, SEND_FAILS, SEND_FAILS_ONCE, SHORT_SEND, NOTHING_TAKEN}
BYTES_TAKEN = {SHORT_SEND: 5, NOTHING_TAKEN: 0}


def _feature_report_length(request):
    """Length encoded in HIDIOCSFEATURE(len), or None for any other request."""
    direction, size = request >> 30, (request >> 16) & 0x3FFF
    if direction == 3 and (request & 0xFFFF) == 0x4806:  # _IOC(RW, 'H', 0x06, len)
        return size
    return None


class EmulatedMouse:
    """One emulated mouse.

    reports  -- feature reports the device accepted, whole, report ID first
    rejected -- feature reports a fault made fail (including short sends)
    fault    -- one of FAULTS or None; may be changed while a child runs
    interface -- its interface number; above 0, another interface of the USB device added before it
    """

    def __init__(self, rig, index, vendor_id, product_id, serial,
                 manufacturer, product, fault, port, interface):
        self._rig = rig
        self.vendor_id = vendor_id
        self.product_id = product_id
        self.serial = serial
        self.manufacturer = manufacturer
        self.product = product
        self.interface = interface
        self.usb_path = f"/devices/pci0000:00/0000:00:14.0/usb1/{port}"
        self.interface_path = f"{self.usb_path}/{port}:1.{interface}"
        self.hid_path = (f"{self.interface_path}/"
                         f"0003:{vendor_id:04X}:{product_id:04X}.{index + 1:04X}")
        self.hidraw = None     # "hidrawN", a new one each time it is plugged in
        self.devnode = None    # "/dev/hidrawN"
        self.reports = []
        self.rejected = []
        self.plugged = False
        self._fault = None
        self._pty = None
        self._devnum = None    # "major:minor" of the pty behind the node
        self._changed = threading.Condition()
        self._handler = UMockdev.IoctlBase()
        self._handler.connect("handle-ioctl", self._on_ioctl)
        self.fault = fault

    def __repr__(self):
        return (f"<EmulatedMouse {self.vendor_id:04x}:{self.product_id:04x} "
                f"{self.devnode} serial={self.serial!r} fault={self.fault}>")

    @property
    def usb_device(self):
        """The sysfs name of the USB device, e.g. "1-01"."""
        return self.usb_path.rsplit("/", 1)[1]

    @property
    def hidraw_path(self):
        return f"{self.hid_path}/hidraw/{self.hidraw}"

    @property
    def fault(self):
        return self._fault

    @fault.setter
    def fault(self, fault):
        if fault is not None and fault not in FAULTS:
            raise ValueError(f"unknown fault {fault!r}; known: {sorted(FAULTS)}")
        with self._changed:
            self._fault = fault
        if self.plugged:
            self._apply_fault_to_node()

    def wait_for_reports(self, count, timeout=5.0):
        """Wait until at least count reports were accepted; True if they were."""
        with self._changed:
            return self._changed.wait_for(lambda: len(self.reports) >= count, timeout)

    def _record(self):
        """umockdev text description of the usb_device -> usb_interface -> hid -> hidraw chain."""
        usb = [f"P: {self.usb_path}", "E: SUBSYSTEM=usb", "E: DEVTYPE=usb_device",
               f"A: idVendor={self.vendor_id:04x}", f"A: idProduct={self.product_id:04x}",
               # The bus gives a device a new address each time it is plugged in.
               f"A: devnum={self._rig._new_address()}"]
        # None leaves the attribute out; "" gives an empty one. In hex, a name may hold
        # any character, line breaks included.
        for name, value in (("manufacturer", self.manufacturer),
                            ("product", self.product), ("serial", self.serial)):
            if value is not None:
                usb.append(f"H: {name}={value.encode().hex()}")
        interface = [f"P: {self.interface_path}", "E: SUBSYSTEM=usb",
                     "E: DEVTYPE=usb_interface", f"A: bInterfaceNumber={self.interface:02x}"]
        # The uevent is read line by line, so its name keeps printable characters only;
        # hidapi takes the names from the USB device.
        name = " ".join(s for s in (self.manufacturer, self.product) if s)
        hid = [f"P: {self.hid_path}", "E: SUBSYSTEM=hid",
               f"E: HID_ID=0003:{self.vendor_id:08X}:{self.product_id:08X}",
               f"E: HID_NAME={''.join(c for c in name if c.isprintable())}",
               # The kernel always writes HID_UNIQ, empty without a serial
               # number, and hidapi skips devices whose uevent lacks it.
               f"E: HID_UNIQ={self.serial or ''}",
               f"H: report_descriptor={REPORT_DESCRIPTOR.hex()}"]
        hidraw = [f"P: {self.hidraw_path}", f"N: {self.hidraw}", "E: SUBSYSTEM=hidraw",
                  f"E: DEVNAME={self.devnode}",
                  # hidapi reads <hidraw>/device/uevent to match vendor/product.
                  "L: device=../.."]
        # A further interface joins the USB device that its first interface brought.
        chain = (usb, interface, hid, hidraw)[1 if self.interface else 0:]
        return "\n\n".join("\n".join(lines) for lines in chain) + "\n"

    def _plug(self, hidraw):
        tb = self._rig.testbed
        self.hidraw, self.devnode = hidraw, f"/dev/{hidraw}"
        # The handler must be in place before the node exists.
        tb.attach_ioctl(self.devnode, self._handler)
        tb.add_from_string(self._record())

        # umockdev backs the node with a pty, and hidapi finds the device
        # strings through fstat() of the open node -> /sys/dev/char/M:N -> this
        # device, so the hidraw device must carry the pty's number.  The pty
        # only exists once the device is added, so a child reacting to the
        # "add" uevent within this moment would find the strings unreadable.
        self._pty = os.readlink(self._node_file())
        rdev = os.stat(self._pty).st_rdev
        major, minor = os.major(rdev), os.minor(rdev)
        self._devnum = f"{major}:{minor}"
        sysfs = f"/sys{self.hidraw_path}"
        tb.set_attribute(sysfs, "dev", self._devnum)
        tb.set_property_int(sysfs, "MAJOR", major)
        tb.set_property_int(sysfs, "MINOR", minor)
        self.plugged = True
        self._apply_fault_to_node()

    def _unplug(self):
        tb = self._rig.testbed
        # Child by child, as the kernel does: removing only the top device
        # would leave the children's /sys/bus and /sys/class links behind.
        chain = (self.hidraw_path, self.hid_path, self.interface_path, self.usb_path)
        for path in chain[:3] if self.interface else chain:
            tb.uevent(f"/sys{path}", "remove")
            tb.remove_device(f"/sys{path}")
        for path in (self._node_file(), self._devnum_link()):
            if os.path.lexists(path):
                os.unlink(path)
        tb.detach_ioctl(self.devnode)
        self.plugged = False

    def _node_file(self):
        return os.path.join(self._rig.root_dir, "dev", self.hidraw)

    def _devnum_link(self):
        return os.path.join(self._rig.testbed.get_sys_dir(), "dev", "char", self._devnum)

    def _apply_fault_to_node(self):
        node = self._node_file()
        if os.path.lexists(node):
            os.unlink(node)
        # A dangling link hides the node without falling through to the real /dev.
        os.symlink({NO_NODE: "/nonexistent", NOT_HIDRAW: "/dev/null"}.get(self._fault, self._pty), node)

        # Without the device-number lookup both string queries fail.
        link = self._devnum_link()
        if os.path.lexists(link):
            os.unlink(link)
        if self._fault != STRINGS_UNREADABLE:
            os.makedirs(os.path.dirname(link), exist_ok=True)
            os.symlink(f"../..{self.hidraw_path}", link)

    # Runs on umockdev's own worker thread, not the test's.
    def _on_ioctl(self, _handler, client):
        request, arg = client.get_request(), client.get_arg()
        if not self.plugged or client.get_devnode() != self.devnode:
            # umockdev keeps serving handles opened before an unplug; the
            # kernel fails them, and they stay dead after the mouse returns.
            client.complete(-1, errno.ENODEV)
            return True
        if request == HIDIOCGRDESCSIZE:
            arg.resolve(0, 4).update(0, len(REPORT_DESCRIPTOR).to_bytes(4, "little"))
            client.complete(0, 0)
            return True
        if request == HIDIOCGRDESC:
            # struct hidraw_report_descriptor { __u32 size; __u8 value[4096]; }
            desc = arg.resolve(0, 4 + HID_MAX_DESCRIPTOR_SIZE)
            desc.update(4, REPORT_DESCRIPTOR)
            client.complete(0, 0)
            return True
        length = _feature_report_length(request)
        if length is None:
            return False
        report = bytes(arg.resolve(0, length).retrieve())
        with self._changed:
            fault = self._fault
            if fault == SEND_FAILS_ONCE:
                self._fault = None
            if fault in (SEND_FAILS, SEND_FAILS_ONCE):
                self.rejected.append(report)
                client.complete(-1, errno.EIO)
            elif fault in BYTES_TAKEN:
                self.rejected.append(report)
                client.complete(min(BYTES_TAKEN[fault], length), 0)
            else:
                self.reports.append(report)
                client.complete(length, 0)
            self._changed.notify_all()
        return True


def preload_active():
    """Whether this process runs with umockdev's preload library loaded."""
    with open("/proc/self/maps") as maps:
        return "libumockdev-preload" in maps.read()


def plain_environment():
    """This process's environment without umockdev's preload: only the daemon sees the mice."""
    return {k: v for k, v in os.environ.items()
            if k not in ("LD_PRELOAD", "UMOCKDEV_DIR", "LANGUAGE", "LC_ALL", "LC_MESSAGES")}


class MouseRig:
    """A umockdev testbed holding emulated mice.

    Children see the mice only with the environment from env() (or through
    run()/popen()).
    """

    def __init__(self):
        if not preload_active():
            raise RuntimeError("MouseRig needs the umockdev preload: "
                               "run the test process under umockdev-wrapper")
        self.testbed = UMockdev.Testbed.new()
        self.root_dir = self.testbed.get_root_dir()
        self.mice = []
        self._hidraw_count = 0
        self._address_count = 0
        self._children = []
        # What vorlixd records of each mouse goes here, never to the machine's /run/vorlixd.
        self.records = os.path.join(self.root_dir, "records")
        os.mkdir(self.records)

    def add(self, vendor_id, product_id, serial=None, manufacturer="Quillon Labs",
            product="Glide M3", fault=None, interface=0):
        """Plug in a mouse; mice enumerate in the order they were added.

        serial, manufacturer or product None leaves that string out entirely.
        An interface above 0 is another interface of the USB device added just before,
        whose strings it should repeat; unplugging it leaves that device in place.
        """
        # udev lists devices in sysfs path order; zero-padded port numbers
        # make that the order of add() calls.
        port = self.mice[-1].usb_device if interface else f"1-{len(self.mice) + 1:02d}"
        mouse = EmulatedMouse(self, len(self.mice), vendor_id, product_id, serial,
                              manufacturer, product, fault, port, interface)
        mouse._plug(self._new_hidraw())
        self.mice.append(mouse)
        return mouse

    def unplug(self, mouse):
        """Take the mouse away (a "remove" uevent is sent); its reports are kept."""
        if mouse.plugged:
            mouse._unplug()

    def replug(self, mouse):
        """Bring an unplugged mouse back at its old place in the enumeration order.

        It comes back under a new /dev/hidrawN (umockdev cannot make a node
        under a name it has used before).
        """
        if not mouse.plugged:
            mouse._plug(self._new_hidraw())

    def open_to_everyone(self):
        """Lets any user reach the mice, for a program run as another user."""
        subprocess.run(["chmod", "-R", "a+rwX", self.root_dir], check=True)
        for mouse in self.mice:
            os.chmod(mouse._node_file(), 0o666)  # the pty behind the node

    def _new_address(self):
        self._address_count += 1
        return self._address_count

    def _new_hidraw(self):
        self._hidraw_count += 1
        return f"hidraw{self._hidraw_count - 1}"

    def env(self, extra=None):
        """Environment for a child process that should see the mice; a value None unsets."""
        env = dict(os.environ)
        preload = [p for p in env.get("LD_PRELOAD", "").split(":") if p]
        if "libumockdev-preload.so.0" not in preload:
            preload.insert(0, "libumockdev-preload.so.0")
        env["LD_PRELOAD"] = ":".join(preload)
        # The testbed sets this with setenv(); os.environ never sees it.
        env["UMOCKDEV_DIR"] = self.root_dir
        env.setdefault("RUNTIME_DIRECTORY", self.records)
        env.update(extra or {})
        return {name: value for name, value in env.items() if value is not None}  # None: unset

    def run(self, argv, env_extra=None, timeout=30, **kwargs):
        """Run argv to completion against the mice; output is captured as text."""
        kwargs.setdefault("capture_output", True)
        kwargs.setdefault("text", True)
        return subprocess.run(argv, env=self.env(env_extra), timeout=timeout, **kwargs)

    def popen(self, argv, env_extra=None, **kwargs):
        """Start a long-running child (a daemon); close() ends it if still running."""
        child = subprocess.Popen(argv, env=self.env(env_extra), **kwargs)
        self._children.append(child)
        return child

    def close(self):
        # A failed test must not leave its daemon behind.
        for child in self._children:
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait()
        self._children.clear()
        for mouse in self.mice:
            if mouse.plugged:
                self.testbed.detach_ioctl(mouse.devnode)
        self.mice.clear()
        # Dropping the last reference lets the testbed remove its directory.
        self.testbed = None
