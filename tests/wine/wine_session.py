"""A private Wine session for running setup.exe with nobody at the screen: its own X display
(Xvfb), its own throwaway prefix under the Japanese locale, its own Wine server. Used by the
end-to-end tests (e2e.py) and the demo (tools/demo.sh, through the "answer" command below)."""

import argparse
import os
import struct
import subprocess
import sys

WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/bin/wine"  # the loader that also starts 32-bit programs
WINESERVER = "/usr/lib/wine/wineserver"

PE_I386 = 0x014C
PE_AMD64 = 0x8664


def pe_machine(path):
    """The machine field of a PE file's header: PE_I386 or PE_AMD64."""
    with open(path, "rb") as f:
        head = f.read(4096)
    if head[:2] != b"MZ":
        raise ValueError(f"{path}: not a Windows program")
    (pe_offset,) = struct.unpack_from("<I", head, 0x3C)
    if head[pe_offset:pe_offset + 4] != b"PE\0\0":
        raise ValueError(f"{path}: no PE header")
    (machine,) = struct.unpack_from("<H", head, pe_offset + 4)
    return machine


def registry_view(path):
    """The registry view a program sees in a 64-bit prefix: 32-bit programs see HKLM\\Software
    through Wow6432Node."""
    return "32" if pe_machine(path) == PE_I386 else "64"


class WineSession:
    def __init__(self, workdir, screen="1024x768x24"):
        self.workdir = os.path.abspath(workdir)
        self.prefix = os.path.join(self.workdir, "wineprefix")
        self.screen = screen
        self.xvfb = None
        self.display = None
        self.env = None

    # --- lifetime -------------------------------------------------------------------------

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        os.makedirs(self.workdir, exist_ok=True)
        self._start_xvfb()
        env = dict(os.environ)
        env.update(
            WINEPREFIX=self.prefix,
            WINEARCH="win64",
            WINEDEBUG="-all",
            # No Mono or Gecko installer dialogs in a fresh prefix.
            WINEDLLOVERRIDES="mscoree,mshtml=",
            # Under this locale Wine's ANSI code page is 932, the updater's own.
            LC_ALL="ja_JP.UTF-8",
            LANG="ja_JP.UTF-8",
            DISPLAY=f":{self.display}",
        )
        self.env = env
        fresh = not os.path.exists(os.path.join(self.prefix, "system.reg"))
        if fresh:
            subprocess.run([WINE64, "wineboot", "-i"], env=env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
            subprocess.run([WINESERVER, "-w"], env=env, check=False)
            self._configure_prefix()
        subprocess.run([WINESERVER, "-p"], env=env, check=True)
        # The first program after the server starts brings up Wine's background processes,
        # which inherit its standard handles: they must not be pipes anybody waits on.
        subprocess.run([WINE64, "cmd", "/c", "exit"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

    def stop(self):
        if self.env is not None:
            subprocess.run([WINESERVER, "-k"], env=self.env, stderr=subprocess.DEVNULL,
                           check=False)
            subprocess.run([WINESERVER, "-w"], env=self.env, check=False)
            self.env = None
        if self.xvfb is not None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
                self.xvfb.wait()
            self.xvfb = None

    def _start_xvfb(self):
        # Xvfb picks a free display itself and writes its number to the pipe.
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.screen, "-nolisten",
             "tcp"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        if not number.strip().isdigit():
            self.xvfb.kill()
            raise RuntimeError("Xvfb did not start")
        self.display = int(number)

    def _configure_prefix(self):
        lines = ["Windows Registry Editor Version 5.00", "",
                 # With no window manager on the X display, Wine would wait 2 s for one each
                 # time a managed window is hidden (every message box at its end); windows
                 # that Wine itself manages are hidden at once.
                 r"[HKEY_CURRENT_USER\Software\Wine\X11 Driver]", '"Managed"="N"', "",
                 # Wine's own fonts have no Japanese glyphs: the message boxes' dialog font
                 # would show empty squares. The system's IPA Gothic stands in.
                 r"[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]"]
        for face in ("MS Shell Dlg", "MS Shell Dlg 2", "MS UI Gothic", "MS PGothic",
                     "ＭＳ Ｐゴシック"):
            lines.append(f'"{face}"="IPAPGothic"')
        for face in ("MS Gothic", "ＭＳ ゴシック"):
            lines.append(f'"{face}"="IPAGothic"')
        reg = os.path.join(self.workdir, "prefix.reg")
        with open(reg, "w", encoding="utf-16") as f:
            f.write("\r\n".join(lines) + "\r\n")
        subprocess.run([WINE64, "regedit", "/S", self.win_path(reg)], env=self.env,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=False)
        subprocess.run([WINESERVER, "-w"], env=self.env, check=False)

    # --- paths ----------------------------------------------------------------------------

    def drive_c(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def win_path(self, unix_path):
        """The Windows name of a file: C:\\... inside the prefix, Z:\\... elsewhere."""
        path = os.path.abspath(unix_path)
        root = self.drive_c()
        if path == root or path.startswith(root + os.sep):
            return "C:\\" + os.path.relpath(path, root).replace(os.sep, "\\").lstrip(".")
        return "Z:" + path.replace("/", "\\")

    # --- running programs -----------------------------------------------------------------

    @staticmethod
    def loader(program):
        return WINE64 if pe_machine(program) == PE_AMD64 else WINE32

    def run(self, program, *args, timeout=60):
        """Runs a Windows program to its end; returns (Linux exit status, UTF-8 output)."""
        done = subprocess.run([self.loader(program), program, *args], env=self.env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=timeout)
        return done.returncode, done.stdout.decode("utf-8", "replace")

    def start_program(self, program, *args, stdin=subprocess.DEVNULL):
        return subprocess.Popen([self.loader(program), program, *args], env=self.env,
                                stdin=stdin, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)

    def screenshot(self, path, rect=None, margin=0):
        """Saves the screen, or the rectangle (left, top, right, bottom) of it, as PNG."""
        command = ["import", "-display", f":{self.display}", "-window", "root"]
        if rect is not None:
            left, top, right, bottom = rect
            left, top = max(0, left - margin), max(0, top - margin)
            command += ["-crop", f"{right - left + margin}x{bottom - top + margin}+{left}+{top}",
                        "+repage"]
        subprocess.run(command + [path], check=True)


def parse_blocks(text):
    """box_answerer's output: one dict of "key: value" lines per box."""
    blocks, current = [], {}
    for line in text.split("\n"):
        if not line.strip():
            if current:
                blocks.append(current)
                current = {}
            continue
        key, _, value = line.partition(": ")
        current[key] = value
    if current:
        blocks.append(current)
    return blocks


class Launch:
    """setup.exe (or any program) started through e2e_helper's run command, which reports the
    full 32-bit exit code that the 8-bit Linux exit status of Wine would cut."""

    def __init__(self, session, helper, program, timeout=20):
        self.process = session.start_program(helper, "run", str(timeout),
                                             session.win_path(program))
        self.timeout = timeout

    def ended(self, seconds):
        """Whether the program ends within seconds."""
        try:
            self.process.wait(timeout=seconds)
            return True
        except subprocess.TimeoutExpired:
            return False

    def result(self):
        """(pid, exit code or None on a timeout, raw output)."""
        out, _ = self.process.communicate(timeout=self.timeout + 30)
        text = out.decode("utf-8", "replace")
        info = parse_blocks(text)
        info = info[0] if info else {}
        code = info.get("exit")
        code = int(code, 16) if code and code.startswith("0x") else None
        pid = int(info["pid"]) if info.get("pid", "").isdigit() else None
        return pid, code, text


def main():
    parser = argparse.ArgumentParser(
        description="Runs one Windows program in a private Wine session (own Xvfb display, "
                    "own prefix) and answers its message boxes in turn; prints each box and "
                    "the program's full exit code.")
    sub = parser.add_subparsers(dest="command", required=True)
    answer = sub.add_parser("answer", help="run PROGRAM and answer its message boxes")
    answer.add_argument("--workdir", required=True, help="where the prefix lives")
    answer.add_argument("--helper", required=True, help="e2e_helper.exe")
    answer.add_argument("--box-answerer", required=True, help="box_answerer.exe")
    answer.add_argument("--title", required=True, help="the boxes' title")
    answer.add_argument("--prepare", action="append", default=[], metavar="ARGS",
                        help="e2e_helper arguments, separated by '|', to run before PROGRAM "
                             "(repeatable); REGVIEW in them stands for PROGRAM's registry view")
    answer.add_argument("--shots", metavar="DIR",
                        help="save a picture of each box, before it is answered, as DIR/box-N.png")
    answer.add_argument("program", help="the program, a path on this host")
    answer.add_argument("answers", nargs="+", help="yes, no, ok or enter, one per box")
    options = parser.parse_args()

    view = registry_view(options.program)
    with WineSession(options.workdir) as session:
        for step in options.prepare:
            args = [view if a == "REGVIEW" else a for a in step.split("|")]
            status, out = session.run(options.helper, *args)
            if status != 0:
                sys.exit(f"wine_session: e2e_helper {' '.join(args)}: {out.strip()}")
        launch = Launch(session, options.helper, options.program)
        for n, want in enumerate(options.answers, 1):
            common = [options.box_answerer, "--title", options.title, "--timeout", "20"]
            if options.shots:
                status, out = session.run(*common, "look")
                boxes = parse_blocks(out)
                if status == 0 and boxes and "rect" in boxes[0]:
                    rect = tuple(int(v) for v in boxes[0]["rect"].split())
                    os.makedirs(options.shots, exist_ok=True)
                    session.screenshot(os.path.join(options.shots, f"box-{n}.png"), rect)
            status, out = session.run(*common, want)
            sys.stdout.write(out)
            if status != 0:
                break
        pid, code, _ = launch.result()
        print("exit:", "timeout" if code is None else f"0x{code:08X}")
        sys.exit(0 if code is not None and status == 0 else 1)


if __name__ == "__main__":
    main()
