#!/usr/bin/python3
"""End-to-end tests of setup.exe under Wine: each case sets up the registry, the install folder
and its "uninst.lst", runs a real updater file made by mkupdate from the built setup.exe,
answers its message boxes with box_answerer, and compares every box (title, text, icon,
buttons, default), the full 32-bit exit code and the install folder byte for byte with what
the updater must leave.

    /usr/bin/python3 e2e.py --setup setup.exe --box-answerer box_answerer.exe \\
        --helper e2e_helper.exe --mkupdate mkupdate [--workdir DIR] [-k SUBSTRING] [--keep]

The registry value is written in the view the program under test reads: the 32-bit view
(Wow6432Node) for an i686 setup.exe, the 64-bit view for an x86_64 one.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import time
from dataclasses import dataclass, field

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_session import Launch, WineSession, parse_blocks, registry_view  # noqa: E402

# --- What the updater shows --------------------------------------------------------------------

TITLE = "「ヴァルネア・テイル」 Updater ver 1.00"
IDEOGRAPHIC_SPACE = "\u3000"
MESSAGES = {
    "busy": "ゲーム、ランチャー、アンインストーラーのいずれかが実行中なのでアップデートを行えません",
    "not_installed": "ゲームがインストールされていません" + IDEOGRAPHIC_SPACE * 9,
    "question": "アップデートを行いますか？" + IDEOGRAPHIC_SPACE * 13,
    "complete": "アップデートが完了しました" + IDEOGRAPHIC_SPACE * 13,
    "damaged": "アップデートプログラムが破損している可能性があります",
    "failure": "何らかの要因によりアップデートが行えません" + IDEOGRAPHIC_SPACE * 5,
    "list": "アンインストレーションファイルの更新に失敗しました" + IDEOGRAPHIC_SPACE,
}
# Every message but the busy warning is filled up to 26 characters.
assert all(len(t) == 26 for k, t in MESSAGES.items() if k != "busy"), "message table typo"

# The box kind of each message: icon, buttons, default button.
QUESTION = ("question", "yes no", "no")
INFORMATION = ("information", "ok", "ok")
WARNING = ("warning", "ok", "ok")
KIND_OF = {"busy": WARNING, "not_installed": WARNING, "question": QUESTION,
           "complete": INFORMATION, "damaged": WARNING, "failure": WARNING, "list": WARNING}

UPDATE_OK = 0
EXIT_NOT_INSTALLED = 0xFFFFFFFF
EXIT_BUSY = 0xFFFFFFFE
EXIT_DECLINED = 0xFFFFFFFD
EXIT_ALREADY_RUNNING = 0xFFFFFFFC  # this product's choice for a second instance
UPDATE_E_PACKAGE_READ = 0x80000001
UPDATE_E_TOO_MANY_ENTRIES = 0x80000002
UPDATE_E_CHECKSUM = 0x80000003
UPDATE_E_CREATE_FILE = 0x80000004
UPDATE_E_UNINSTALL_LIST = 0x80000005

GAME_MUTEX = "Corvane for ValneaTale is executing."
REG_CLEAR = "Software\\Quillmere"
REG_KEY = "Software\\Quillmere\\ヴァルネア・テイル"
REG_VALUE = "InstalledFolder"

# --- The package and the install folder before the update ------------------------------------

PACKAGE_OFFSET = 0x60000
ARCHIVE = "data01000.arc"
ARCHIVE_SIZE = 1_406_474
HASH_LIST = "CVN.hvl"
# The shipped package's shape: its hash list names two executables, four system archives
# and seven data archives, the carried archive among them.
REFERENCE_NAMES = (["Valnea.exe", "VTLauncher.exe"] +
                   [f"system{n:02d}.arc" for n in range(4)] +
                   [f"data{n:05d}.arc" for n in range(400, 1001, 100)])
# A member whose code page 932 bytes carry the trail bytes 0x5C (ソ) and 0x41 (ア): the
# backslash of path joining and an upper-case letter for the lowercasing of comparisons.
JAPANESE_MEMBER = "ソアラ.txt"

INSTALL_FOLDER = "C:\\Games\\ヴァルネア・テイル"
OLD_LIST_TEXT = b"Valnea.exe\nVTLauncher.exe\nsystem00.arc\ndata00400.arc\nuninst.lst\n"


def old_folder(list_text=OLD_LIST_TEXT, **extra):
    files = {"Valnea.exe": b"MZ old game\0", "VTLauncher.exe": b"MZ old launcher\0",
             "system00.arc": b"old system archive", "data00400.arc": b"old data archive"}
    if list_text is not None:
        files["uninst.lst"] = list_text + b"\0"
    files.update(extra)
    return files


def generated(size, seed):
    return random.Random(seed).randbytes(size)


# --- Cases -------------------------------------------------------------------------------------

@dataclass
class Case:
    name: str
    answers: list                 # box_answerer's answers, one per box in turn
    boxes: list                   # the messages expected, in order
    exit_code: int
    updater: str = "shipped"      # which updater file runs
    registry: tuple = ("sz", INSTALL_FOLDER)   # (state, data) for e2e_helper reg
    other_view: bool = False      # write the registry value into the view not read
    folder: dict = field(default_factory=old_folder)
    attributes: dict = field(default_factory=dict)   # file -> e2e_helper attrib flags
    hold_file: str = None         # a file of the install folder held open meanwhile
    hold_mutex: bool = False      # the game family mutex held meanwhile
    expect: object = "unchanged"  # "unchanged", or a function(folder, members) -> folder


def applied(*appended, written=None):
    """The folder after the update: the members written, the names appended to the list."""
    def after(folder, members):
        result = dict(folder)
        for name, data in members:
            if written is None or name in written:
                result[name] = data
        if appended and "uninst.lst" in result:
            text = result["uninst.lst"]
            assert text.endswith(b"\0")
            result["uninst.lst"] = text[:-1] + b"".join(n + b"\n" for n in appended) + b"\0"
        return result
    return after


ARCHIVE_B = ARCHIVE.encode()
HASH_LIST_B = HASH_LIST.encode()
LONG_FOLDER_259 = "C:\\" + "x" * 256  # 259 bytes + NUL: the longest value the lookup takes

CASES = [
    Case("yes: archive and hash list written, both appended to the list",
         ["yes", "ok"], ["question", "complete"], UPDATE_OK,
         expect=applied(ARCHIVE_B, HASH_LIST_B)),
    Case("yes: a listed name is not appended again, case-sensitively",
         ["yes", "ok"], ["question", "complete"], UPDATE_OK,
         folder=old_folder(OLD_LIST_TEXT + b"data01000.arc.old\ncvn.hvl\n"),
         expect=applied(HASH_LIST_B)),
    Case("yes: a code page 932 member name is written and listed as stored",
         ["yes", "ok"], ["question", "complete"], UPDATE_OK, updater="japanese",
         expect=applied(JAPANESE_MEMBER.encode("cp932"), HASH_LIST_B)),
    Case("no at the question", ["no"], ["question"], EXIT_DECLINED),
    Case("enter at the question answers no, the default", ["enter"], ["question"],
         EXIT_DECLINED),
    Case("game family running: busy warning", ["ok"], ["busy"], EXIT_BUSY, hold_mutex=True),
    Case("game family running and not installed: only the busy warning", ["ok"], ["busy"],
         EXIT_BUSY, hold_mutex=True, registry=("absent", None)),
    Case("not installed: key missing", ["ok"], ["not_installed"], EXIT_NOT_INSTALLED,
         registry=("absent", None)),
    Case("not installed: value missing", ["ok"], ["not_installed"], EXIT_NOT_INSTALLED,
         registry=("key", None)),
    Case("not installed: REG_EXPAND_SZ value", ["ok"], ["not_installed"], EXIT_NOT_INSTALLED,
         registry=("expand_sz", INSTALL_FOLDER)),
    Case("not installed: value of 261 bytes", ["ok"], ["not_installed"], EXIT_NOT_INSTALLED,
         registry=("sz", LONG_FOLDER_259 + "x")),
    Case("not installed: value only in the other registry view", ["ok"], ["not_installed"],
         EXIT_NOT_INSTALLED, other_view=True),
    Case("a value of exactly 260 bytes is taken: the question is asked", ["no"], ["question"],
         EXIT_DECLINED, registry=("sz", LONG_FOLDER_259)),
    Case("0x80000001: updater file of exactly 0x60000 bytes", ["yes", "ok"],
         ["question", "damaged"], UPDATE_E_PACKAGE_READ, updater="stub_only"),
    Case("0x80000001: updater file cut inside the directory", ["yes", "ok"],
         ["question", "damaged"], UPDATE_E_PACKAGE_READ, updater="cut_directory"),
    Case("0x80000001: updater file cut inside the hash list, after the archive", ["yes", "ok"],
         ["question", "damaged"], UPDATE_E_PACKAGE_READ, updater="cut_hash_list",
         expect=applied(written={ARCHIVE})),
    Case("0x80000002: 25 directory entries", ["yes", "ok"], ["question", "damaged"],
         UPDATE_E_TOO_MANY_ENTRIES, updater="entries25"),
    Case("0x80000003: the archive fails its checksum", ["yes", "ok"], ["question", "damaged"],
         UPDATE_E_CHECKSUM, updater="bad_checksum"),
    Case("0x80000004: a target held open by another program", ["yes", "ok"],
         ["question", "failure"], UPDATE_E_CREATE_FILE,
         folder=old_folder(**{HASH_LIST: b"old hash list"}), hold_file=HASH_LIST,
         expect=applied(written={ARCHIVE})),
    Case("0x80000005: uninst.lst missing", ["yes", "ok"], ["question", "list"],
         UPDATE_E_UNINSTALL_LIST, folder=old_folder(list_text=None), expect=applied()),
] + [
    Case(f"{label} target replaced", ["yes", "ok"], ["question", "complete"], UPDATE_OK,
         folder=old_folder(**{ARCHIVE: b"old archive"}), attributes={ARCHIVE: flags},
         expect=applied(ARCHIVE_B, HASH_LIST_B))
    for label, flags in (("read-only", "R"), ("hidden", "H"), ("system", "S"))
]

# --- Running ---------------------------------------------------------------------------------


class Failed(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failed(message)


class Suite:
    def __init__(self, options, session):
        self.options = options
        self.session = session
        self.view = registry_view(options.setup)
        self.other_view = "64" if self.view == "32" else "32"
        self.folder = session.drive_c("Games", "ヴァルネア・テイル")
        self.runs = session.drive_c("e2e")
        self.updaters, self.members = self.make_updaters()

    # The updater files, made by mkupdate from the setup.exe under test.
    def make_updaters(self):
        work = os.path.join(self.options.workdir, "packages")
        shutil.rmtree(work, ignore_errors=True)
        reference = os.path.join(work, "reference")
        os.makedirs(reference)
        archive = generated(ARCHIVE_SIZE, seed=1000)
        for n, name in enumerate(REFERENCE_NAMES):
            data = archive if name == ARCHIVE else generated(64 + n, seed=n)
            with open(os.path.join(reference, name), "wb") as f:
                f.write(data)
        shipped = os.path.join(work, "shipped.exe")
        self.mkupdate("build", "--stub", self.options.setup, "-o", shipped,
                      "--reference", reference, os.path.join(reference, ARCHIVE))
        with open(shipped, "rb") as f:
            good = f.read()
        # The shape of the package this product ships: two members, the archive from the
        # data area's start, an 848-byte hash list of 13 names behind it.
        check(len(good) == PACKAGE_OFFSET + 16 + 2 * 32 + ARCHIVE_SIZE + 848,
              f"mkupdate wrote {len(good)} bytes, not the shipped package's shape")
        hash_list = good[-848:]
        check(hash_list[:8] == b"ZRT_____" and hash_list[12:16] == (13).to_bytes(4, "little"),
              "mkupdate's hash list is not the shipped package's shape")
        members = {"shipped": [(ARCHIVE, archive), (HASH_LIST, hash_list)]}

        japanese_file = os.path.join(work, "member.txt")
        japanese_data = "新しいセーブデータ\r\n".encode("cp932")
        with open(japanese_file, "wb") as f:
            f.write(japanese_data)
        japanese = os.path.join(work, "japanese.exe")
        self.mkupdate("build", "--stub", self.options.setup, "-o", japanese,
                      f"{JAPANESE_MEMBER}={japanese_file}")
        with open(japanese, "rb") as f:
            japanese_bytes = f.read()
        members["japanese"] = [(JAPANESE_MEMBER, japanese_data),
                               (HASH_LIST, japanese_bytes[-(16 + 64):])]

        base = PACKAGE_OFFSET + 16 + 2 * 32
        bad = bytearray(good)
        bad[base + 123_456] ^= 0x01
        many = bytearray(good)
        many[PACKAGE_OFFSET + 12:PACKAGE_OFFSET + 16] = (25).to_bytes(4, "little")
        variants = {
            "shipped": good,
            "japanese": japanese_bytes,
            "stub_only": good[:PACKAGE_OFFSET],
            "cut_directory": good[:PACKAGE_OFFSET + 16 + 40],
            "cut_hash_list": good[:-100],
            "entries25": bytes(many),
            "bad_checksum": bytes(bad),
        }
        paths = {}
        for name, data in variants.items():
            path = os.path.join(work, f"{name}.exe")
            with open(path, "wb") as f:
                f.write(data)
            paths[name] = path
        return paths, members

    def mkupdate(self, *args):
        done = subprocess.run([self.options.mkupdate, *args], stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT)
        if done.returncode != 0:
            raise RuntimeError(f"mkupdate {' '.join(args)}:\n{done.stdout.decode()}")

    def helper(self, *args):
        status, out = self.session.run(self.options.helper, *args)
        if status != 0:
            raise RuntimeError(f"e2e_helper {' '.join(args)}: {out.strip()}")
        return out

    def set_registry(self, state, data, view):
        args = ["reg", view, REG_CLEAR, REG_KEY, REG_VALUE, state]
        self.helper(*(args + ([data] if data is not None else [])))

    def lay_out_folder(self, files):
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        for name, data in files.items():
            with open(os.path.join(self.folder, name), "wb") as f:
                f.write(data)

    def read_folder(self):
        files = {}
        for name in sorted(os.listdir(self.folder)):
            with open(os.path.join(self.folder, name), "rb") as f:
                files[name] = f.read()
        return files

    def answer(self, answers, exclude_pid=None, timeout=15):
        args = ["--title", TITLE, "--timeout", str(timeout)]
        if exclude_pid is not None:
            args += ["--exclude-pid", str(exclude_pid)]
        status, out = self.session.run(self.options.box_answerer, *args, *answers,
                                       timeout=timeout * len(answers) + 30)
        return status, parse_blocks(out), out

    def start_holder(self, *args):
        holder = self.session.start_program(self.options.helper, *args, stdin=subprocess.PIPE)
        line = holder.stdout.readline().decode("utf-8", "replace")
        check(line.strip() == "holding", f"holder {args} did not start: {line!r}")
        return holder

    @staticmethod
    def release(holder):
        holder.stdin.close()
        holder.wait(timeout=30)

    def place_updater(self, case_number, variant):
        folder = os.path.join(self.runs, f"case{case_number:02d}")
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        path = os.path.join(folder, "setup.exe")
        shutil.copyfile(self.updaters[variant], path)
        return path

    # --- one case: state, run, state ------------------------------------------------------

    def run_case(self, number, case):
        self.lay_out_folder(case.folder)
        state, data = case.registry
        self.set_registry(state, data, self.other_view if case.other_view else self.view)
        for name, flags in case.attributes.items():
            out = self.helper("attrib", f"{INSTALL_FOLDER}\\{name}", flags)
            check("attributes:" in out and int(out.split(":")[1], 16) & self.attr_bits(flags),
                  f"the fixture could not mark {name} {flags}: {out.strip()}")
        before = self.read_folder()
        updater = self.place_updater(number, case.updater)

        holders = []
        try:
            if case.hold_mutex:
                holders.append(self.start_holder("hold-mutex", GAME_MUTEX))
            if case.hold_file:
                holders.append(self.start_holder("hold-file",
                                                 f"{INSTALL_FOLDER}\\{case.hold_file}"))
            launch = Launch(self.session, self.options.helper, updater)
            status, boxes, raw = self.answer(case.answers)
            if not launch.ended(5):
                # Still running after its last expected box: describe what it shows now and
                # press Enter so that the case ends without waiting for the launcher's limit.
                _, _, stray = self.answer(["enter"], timeout=2)
                launch.result()
                raise Failed(f"setup.exe still runs after the boxes expected; it shows:\n"
                             f"{stray}\nafter:\n{raw}")
            pid, code, launch_out = launch.result()
        finally:
            for holder in holders:
                self.release(holder)

        self.check_boxes(boxes, case.boxes, raw, pid)
        check(status == 0, f"box_answerer ended with {status}:\n{raw}")
        check(code is not None, f"setup.exe did not end (a box left open?):\n{launch_out}")
        check(code == case.exit_code,
              f"exit code 0x{code:08X}, expected 0x{case.exit_code:08X}")
        after = self.read_folder()
        if case.expect == "unchanged":
            expected = before
        else:
            expected = case.expect(before, self.members.get(case.updater, self.members["shipped"]))
        self.compare_folders(after, expected)
        for name in case.attributes:
            out = self.helper("attrib", f"{INSTALL_FOLDER}\\{name}")
            check(int(out.split(":")[1], 16) & 0x7 == 0,
                  f"{name} still read-only, hidden or system after the update: {out.strip()}")

    @staticmethod
    def attr_bits(flags):
        return sum({"R": 1, "H": 2, "S": 4}[c] for c in flags)

    @staticmethod
    def check_boxes(boxes, expected, raw, pid):
        shown = [b for b in boxes if b.get("box") is None]
        check(len(shown) == len(expected),
              f"{len(shown)} boxes shown, expected {len(expected)} ({', '.join(expected)}):\n"
              f"{raw}")
        for box, label in zip(shown, expected):
            icon, buttons, default = KIND_OF[label]
            check(box.get("pid") == str(pid), f"the {label} box is not setup.exe's:\n{raw}")
            check(box.get("title") == TITLE, f"title {box.get('title')!r}, expected {TITLE!r}")
            check(box.get("text") == MESSAGES[label],
                  f"text {box.get('text')!r}, expected the {label} text "
                  f"{MESSAGES[label]!r}")
            got = (box.get("icon"), box.get("buttons"), box.get("default"))
            check(got == (icon, buttons, default),
                  f"the {label} box has icon/buttons/default {got}, expected "
                  f"{(icon, buttons, default)}")

    @staticmethod
    def compare_folders(after, expected):
        problems = []
        for name in sorted(set(after) | set(expected)):
            if name not in after:
                problems.append(f"{name}: missing")
            elif name not in expected:
                problems.append(f"{name}: should not be there ({len(after[name])} bytes)")
            elif after[name] != expected[name]:
                a, e = after[name], expected[name]
                at = next((i for i in range(min(len(a), len(e))) if a[i] != e[i]),
                          min(len(a), len(e)))
                detail = (f"{a[-80:]!r} vs expected {e[-80:]!r}" if len(e) < 4096
                          else f"first difference at byte {at}")
                problems.append(f"{name}: {len(a)} bytes, expected {len(e)}; {detail}")
        check(not problems, "install folder differs:\n  " + "\n  ".join(problems))

    # --- the second instance --------------------------------------------------------------

    def run_second_instance(self, number):
        """A second updater started while the first shows its question ends at once, shows
        no box, and leaves the first one's run alone."""
        self.lay_out_folder(old_folder())
        self.set_registry("sz", INSTALL_FOLDER, self.view)
        before = self.read_folder()
        updater = self.place_updater(number, "shipped")
        first = Launch(self.session, self.options.helper, updater)
        try:
            status, boxes, raw = self.answer(["look"])
            check(status == 0 and len(boxes) == 1 and boxes[0].get("text") == MESSAGES["question"],
                  f"the first updater shows no question:\n{raw}")
            first_pid = int(boxes[0]["pid"])
            started = time.monotonic()
            second = Launch(self.session, self.options.helper, updater, timeout=10)
            # Any box of the second instance would keep it running; look for one meanwhile.
            status, boxes, raw = self.answer(["none"], exclude_pid=first_pid, timeout=3)
            pid, code, out = second.result()
            took = time.monotonic() - started
            check(status == 0, f"the second updater showed a box:\n{raw}")
            check(code is not None, f"the second updater did not end:\n{out}")
            self.second_exit = code
            check(code == EXIT_ALREADY_RUNNING,
                  f"the second updater ended with 0x{code:08X}, expected "
                  f"0x{EXIT_ALREADY_RUNNING:08X}")
            check(took < 10, f"the second updater took {took:.1f} s")
        finally:
            status, boxes, raw = self.answer(["no"])
            pid, code, out = first.result()
        check(status == 0 and code == EXIT_DECLINED,
              f"the first updater, answered no afterwards, ended with {out.strip()}:\n{raw}")
        self.compare_folders(self.read_folder(), before)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--setup", required=True, help="setup.exe under test (the stub)")
    parser.add_argument("--box-answerer", required=True, help="box_answerer.exe")
    parser.add_argument("--helper", required=True, help="e2e_helper.exe")
    parser.add_argument("--mkupdate", required=True, help="a native mkupdate")
    parser.add_argument("--workdir", default="e2e-run", help="prefix and files (default %(default)s)")
    parser.add_argument("-k", dest="select", help="run only the cases whose name holds this")
    parser.add_argument("--keep", action="store_true", help="keep the prefix for a later run")
    options = parser.parse_args()
    for path in (options.setup, options.box_answerer, options.helper, options.mkupdate):
        if not os.path.isfile(path):
            sys.exit(f"e2e: {path}: no such file")
    if not options.keep:
        shutil.rmtree(options.workdir, ignore_errors=True)

    started = time.monotonic()
    cases = [(n, c.name, c) for n, c in enumerate(CASES, 1)]
    cases.append((len(CASES) + 1, "second instance while the first asks: ends at once, no box",
                  None))
    if options.select:
        cases = [c for c in cases if options.select in c[1]]
    failures = 0
    with WineSession(options.workdir) as session:
        print(f"e2e: prefix ready in {time.monotonic() - started:.1f} s "
              f"(display :{session.display})", flush=True)
        suite = Suite(options, session)
        print(f"e2e: setup.exe reads the {suite.view}-bit registry view", flush=True)
        for number, name, case in cases:
            t0 = time.monotonic()
            try:
                if case is None:
                    suite.run_second_instance(number)
                    name += f" (its exit code 0x{suite.second_exit:08X})"
                else:
                    suite.run_case(number, case)
                verdict, detail = "ok  ", ""
            except (Failed, RuntimeError, subprocess.TimeoutExpired) as e:
                failures += 1
                verdict, detail = "FAIL", "\n      " + str(e).replace("\n", "\n      ")
            print(f"{verdict} {time.monotonic() - t0:4.1f} s  {name}{detail}", flush=True)
    print(f"e2e: {len(cases) - failures} of {len(cases)} cases passed in "
          f"{time.monotonic() - started:.0f} s")
    if not options.keep:
        shutil.rmtree(options.workdir, ignore_errors=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
