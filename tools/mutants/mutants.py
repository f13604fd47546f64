#!/usr/bin/env python3
"""Plants single-token faults in one layer of the code at a time and says which ones the tests catch.

Each mutant changes one thing in one source: a number, an operator, two
neighbouring arguments of a call swapped, one GL state call deleted, an early
return or continue deleted, an assignment to a member (or a reset to {})
dropped, a condition negated, or a bound moved by one. The layer's own tests
(and only the test executables and programs they need) are rebuilt with it and
run; a mutant is killed when a test fails, crashes, runs past the time
limit (a few times what the unchanged sources took) or past its memory
limit, and survives when every test still passes. A mutant that does not
compile is counted apart.

The layers (LAYERS below) pick their files by folder glob, so files that move
between folders of a layer stay covered; files that only talk to SDL or the
browser are left out by name (SKIP) and listed by --list-layers.

The faults go into a copy of the sources inside the run's own build folder
(build-mutants/source, refreshed from the working tree at the start of every
run), never into the working tree: work and builds there go on undisturbed,
and an interrupted run leaves nothing behind. A mutant's file is put back
after it, also on Ctrl-C.

Survivors that cannot change what a test could see are listed, with the
reason, in equivalent.txt next to this script; they are reported but not
counted against the score.

    tools/mutants/mutants.py [--layer NAME] [--list] [--file F] [--only N,M] [--sample N] [--build-dir D]

All faults together are far too many to build one by one on a small machine,
so by default an evenly spread sample of 60 per layer runs (--sample 0: all).
"""
import argparse
import fnmatch
import glob
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HERE = os.path.dirname(os.path.abspath(__file__))

# The layers: the files they mutate (globs under the source root), the files
# left out of them, and the test runs that stand for them: (test executable,
# gtest filter), or a function of the file's name giving that list. Only the
# test executables named are built; the build system rebuilds the library and
# the programs they need, and nothing else.
# Not the memory test of a late shot: it renders for half a minute and
# checks the peak memory, which no single-token fault here moves.
CAPTURE_TOOL_TESTS = "CaptureTool.*:-CaptureTool.MemoryStaysBoundedBeforeALateShot"
TOOLS_CAPTURE_TESTS = ("CaptureTool.*:CaptureOutput.*:CaptureSegments.*:CaptureSupersample.*:Segments.*:BenchJson.*:Yardstick.*:"
                       "Yuv420.*:-CaptureTool.MemoryStaysBoundedBeforeALateShot")
# The capture tool's files whose work some of its suites alone reach run
# those (its report writer, segments, scaling, colour conversion); the rest
# run them all. The drawing switch is what the fast-forward pictures test.
CAPTURE_FILE_TESTS = {
    "bench.cpp": [("tools_tests", "BenchJson.*:CaptureTool.BenchTimesEveryScheduleRange")],
    "yardstick.cpp": [("tools_tests", "Yardstick.*:BenchJson.*:CaptureTool.BenchTimesEveryScheduleRange")],
    "drawswitch.cpp": [("image_tests", "FastForwardImage.*"),
                       ("tools_tests", "CaptureTool.ShotsAreTheFirstFrameAtOrAfterTheirRow")],
    "join.cpp": [("tools_tests", "CaptureSegments.*")],
    "segments.cpp": [("tools_tests", "Segments.*:CaptureSegments.*")],
    "outputlock.cpp": [("tools_tests", "CaptureOutput.*:CaptureTool.ShotsAndVideosAreMadeWithStandardInputClosed")],
    "supersample.cpp": [("tools_tests", "CaptureSupersample.*")],
    "yuv.cpp": [("tools_tests", "Yuv420.*:CaptureTool.VideoHasItsFramesAtItsRateAndMusicAsLongAsThePicture")],
}
SHELL_PROGRAM_TESTS = {
    # The capture's own failures (no window at all) and its second run in
    # one process are what the demo's and the image tests run.
    "capture.cpp": [("tools_tests", TOOLS_CAPTURE_TESTS), ("e2e_tests", "NoWindow.*"),
                    ("image_tests", "SecondRun.*")],
    "startup.cpp": [("tools_tests", CAPTURE_TOOL_TESTS),
                    ("e2e_tests", "DemoRun.AStartRowPast*:DemoRun.EachMissingDataFile*")],
    # Opening the window fails the way the programs' tests without a display
    # see; the display chosen and the question asked are seen on an X server.
    "window.cpp": [("e2e_tests", "NoWindow.*"),
                   ("x11_tests", "X11Desktop.TheChosenDisplayGetsTheWindow:X11Question.*")],
    "entry.cpp": [("e2e_tests", "NoWindow.*:CommandLine.*:DemoRun.PlaysEveryRowAndEndsByItself:"
                                "DemoRun.EndsWhenTheMusic*:DemoRun.AStartRowPast*:DemoRun.EachMissingDataFile*:"
                                "DemoRun.ShowsTheLastRow*"),
                  ("x11_tests", "X11Desktop.ASignalWhileTheQuestionIsShownEndsTheRunAndTheBox:"
                                "X11Window.FullscreenRunShowsItsStatisticsAndEndsOnEscape")],
}
LAYERS = {
    # The glyph table is data (96 x 8 bytes): a changed bit shows only in a
    # picture of that letter, so of the font only the look-up is mutated.
    "common": {"files": ["src/common/*.cpp"], "runs": [("common_tests", "*")],
               "functions": {"font8x8.cpp": ["glyphRows", "glyphPixel", "glyphDefined"]}},
    "sync": {"files": ["src/sync/*.cpp"], "runs": [("sync_tests", "*")]},
    "music": {"files": ["src/music/*.cpp"], "runs": [("music_tests", "*")]},
    "textures": {"files": ["src/textures/*.cpp"], "runs": [("textures_tests", "*")]},
    # The shell's capture and start-up are what the capture tool runs, its
    # entry what the demo runs: their tests run those programs.
    "shell": {"files": ["src/shell/*.cpp"],
              "runs": lambda name: [("shell_tests", "*")] + SHELL_PROGRAM_TESTS.get(name, [])},
    # The GL subset, the counter and the audio clock's arithmetic. The
    # window, message box, the GL bindings and the paths only pass calls on
    # to SDL or the browser; the back ends' own folders are left out whole.
    "platform": {"files": ["src/platform/*.cpp", "src/platform/streamframes.h", "src/platform/outputclock.h"],
                 "skip": ["window.cpp", "messagebox.cpp", "glsubset_sdl.cpp", "gl_desktop.cpp", "paths.cpp"],
                 # Only these functions of the audio front end: the rest opens
                 # devices and decoders through SDL.
                 "functions": {"audio.cpp": ["secondsBetween", "streamFramesPerDeviceFrame", "wallClockFrames",
                                             "steerClock", "devicePosition", "currentFrame", "reposition",
                                             "secondsToBytes", "bytesToSeconds", "setPosition", "position"]},
                 "runs": lambda name: [("glsubset_tests", "*")] if name.startswith("glsubset")
                 # Not the test that holds the device clock to the wall clock
                 # within milliseconds: on a loaded machine it fails by itself.
                 else [("platform_tests", "ClockTest.*:DeviceClockTest.*:StreamTest.*:OutputClockTest.*:StreamFramesTest.*"
                                          "-DeviceClockTest.SmoothMonotonicAndOnTime")]},
    # Code without drawing in it (the state record of the frame delta, the
    # texture set-up) is left out: the scene tests are not where its faults show.
    "scenes": {"files": ["src/scenes/*.cpp"], "skip": ["framedelta.cpp", "resources.cpp"],
               "runs": lambda name: [("scenes_tests", "*"), ("image_tests", IMAGE_TESTS.get(name, "*"))]},
    "capture": {"files": ["tools/capture/*.cpp"],
                "runs": lambda name: CAPTURE_FILE_TESTS.get(name, [("tools_tests", TOOLS_CAPTURE_TESTS)])},
    "synctool": {"files": ["tools/sync/*.cpp"], "runs": [("tools_tests", "SyncTool.*")]},
}

# The GL calls that set state: deleting one must change what a test sees.
STATE_CALLS = ("glEnable", "glDisable", "glBindTexture", "glBlendFunc", "glLoadIdentity", "glClearColor",
               "glColor3f", "glColor4f")
# Calls whose neighbouring arguments are worth swapping (the ones that place,
# turn, size and colour things, and the scenes' own routines).
SWAP_CALLS = re.compile(r"^(gl(Translatef|Rotatef|Color3f|Color4f|Vertex3f|Vertex3d|TexCoord2f|ClearColor|Scalef)"
                        r"|draw\w+|fill|stampTextLine|liftCell|litColour)$")
BINARY_SWAPS = {"+": "-", "-": "+", "*": "/", "/": "*", "<": "<=", "<=": "<", ">": ">=", ">=": ">",
                "==": "!=", "!=": "==", "&&": "||", "||": "&&"}

TOKEN = re.compile(r"""
    (?P<comment>//[^\n]*|/\*.*?\*/)
  | (?P<string>"(?:\\.|[^"\\])*"|'(?:\\.|[^'\\])*')
  | (?P<pre>^[ \t]*\#[^\n]*)
  | (?P<number>0[xX][0-9a-fA-F]+[uUlL]*|(?:\d+\.\d*|\.\d+|\d+)(?:[eE][+-]?\d+)?[uUlLfF]*)
  | (?P<ident>[A-Za-z_]\w*)
  | (?P<op>->|\+\+|--|<<=|>>=|<<|>>|<=|>=|==|!=|&&|\|\||[-+*/%<>=!&|^~?:;,.(){}\[\]])
  | (?P<space>\s+)
""", re.S | re.M | re.X)


# The copy of the sources the mutants are planted in (set by main).
SOURCE_ROOT = []


class Token:
    def __init__(self, kind, text, start):
        self.kind, self.text, self.start = kind, text, start

    @property
    def end(self):
        return self.start + len(self.text)


def tokenize(src):
    tokens = []
    pos = 0
    while pos < len(src):
        m = TOKEN.match(src, pos)
        if not m:
            pos += 1
            continue
        kind = m.lastgroup
        if kind not in ("comment", "space", "pre"):
            tokens.append(Token(kind, m.group(), pos))
        pos = m.end()
    return tokens


class Mutant:
    def __init__(self, path, start, end, replacement, description, src):
        self.path, self.start, self.end, self.replacement = path, start, end, replacement
        self.description = description
        self.line = src.count("\n", 0, start) + 1
        self.column = start - src.rfind("\n", 0, start)
        self.original = src[start:end]

    def names(self):
        """The names the list of equivalents may give this file by: its name alone (where it is
        unique), and its path below src/ or from the root (sync/reader.cpp, tools/sync/main.cpp)."""
        rel = os.path.relpath(self.path, SOURCE_ROOT[0]) if SOURCE_ROOT else self.path
        names = [os.path.basename(self.path), rel]
        if rel.startswith("src/"):
            names.append(rel[4:])
        return names

    def equivalence(self, equivalents):
        """The reason this mutant is listed as equivalent, if it is: "FILE | CHANGE  [LINE]" or
        "FILE | *  [LINE]" for any change on that line, by file, or by file:line (or file:line:column)
        where the same text stands on several lines or places."""
        line_text = self.description.split("  [", 1)[1][:-1]
        for name in self.names():
            for at in (name, "%s:%d" % (name, self.line), "%s:%d:%d" % (name, self.line, self.column)):
                for key in ("%s | %s" % (at, self.description), "%s | *  [%s]" % (at, line_text)):
                    if key in equivalents:
                        return equivalents[key]
        return None

    def apply(self, src):
        return src[:self.start] + self.replacement + src[self.end:]


def mutated_number(text):
    hexa = re.match(r"^0[xX]([0-9a-fA-F]+)([uUlL]*)$", text)
    if hexa:
        return "0x%X%s" % (int(hexa.group(1), 16) + 1, hexa.group(2))
    m = re.match(r"^([0-9.eE+-]+?)([uUlLfF]*)$", text)
    body, suffix = m.group(1), m.group(2)
    if re.fullmatch(r"\d+", body):
        value = int(body)
        return str(value + 1) + suffix
    value = float(body)
    new = value * 2 if value != 0 else 1.0
    text_new = repr(new)
    if "f" in suffix.lower() and "." not in text_new and "e" not in text_new:
        text_new += ".0"
    return text_new + suffix


def top_level_args(tokens, open_index):
    """Token index ranges of the arguments of the call whose '(' is at open_index, and the ')' index."""
    depth = 0
    args = []
    start = open_index + 1
    for i in range(open_index, len(tokens)):
        t = tokens[i].text
        if t in "([{":
            depth += 1
        elif t in ")]}":
            depth -= 1
            if depth == 0:
                if i > start:
                    args.append((start, i))
                return args, i
        elif t == "," and depth == 1:
            args.append((start, i))
            start = i + 1
    return args, len(tokens) - 1


def matching(tokens, i):
    """Index of the bracket that closes (or opens) the one at i."""
    pairs = {"(": ")", "{": "}", "[": "]"}
    step = 1 if tokens[i].text in pairs else -1
    opener = tokens[i].text if step == 1 else next(k for k, v in pairs.items() if v == tokens[i].text)
    closer = pairs[opener]
    depth = 0
    j = i
    while 0 <= j < len(tokens):
        if tokens[j].text == opener:
            depth += step
        elif tokens[j].text == closer:
            depth -= step
        if depth == 0:
            return j
        j += step
    return None


def function_spans(tokens, names):
    """Character spans of the bodies of the functions with these names."""
    spans = []
    for i, tok in enumerate(tokens):
        if tok.kind != "ident" or tok.text not in names or i + 1 >= len(tokens) or tokens[i + 1].text != "(":
            continue
        close = matching(tokens, i + 1)
        j = close + 1 if close is not None else len(tokens)
        while j < len(tokens) and tokens[j].kind == "ident" and tokens[j].text in ("const", "noexcept", "override"):
            j += 1
        if j < len(tokens) and tokens[j].text == "{":
            end = matching(tokens, j)
            if end is not None:
                spans.append((tokens[j].start, tokens[end].end))
    return spans


def controls(tokens, i):
    """Whether the token at i ends the head of an if/else/for/while: the ')' of "if (...)" or an else."""
    if i < 0:
        return False
    if tokens[i].text == "else":
        return True
    if tokens[i].text != ")":
        return False
    opener = matching(tokens, i)
    return opener is not None and opener > 0 and tokens[opener - 1].text in ("if", "for", "while")


KEYWORDS = {"std", "static_cast", "reinterpret_cast", "const_cast", "const", "sizeof", "true", "false", "nullptr",
            "unsigned", "int", "char", "float", "double", "bool", "auto", "void", "long", "short", "typename"}


def template_close(tokens, i):
    """Whether the '>' at i closes a template's arguments: a '<' stands a few tokens before it
    with no bracket, statement end or logical operator between."""
    for j in range(i - 1, max(i - 9, -1), -1):
        t = tokens[j].text
        if t == "<":
            return True
        if t in ("(", ")", ";", "{", "}", "&&", "||", "?", "=", "return"):
            return False
    return False


def generate(path, functions=None):
    src = open(path).read()
    tokens = tokenize(src)
    mutants = []
    spans = function_spans(tokens, functions) if functions else None

    def add(start, end, replacement, what):
        if spans is not None and not any(a <= start < b for a, b in spans):
            return
        line_text = src[src.rfind("\n", 0, start) + 1:src.find("\n", start)].strip()
        mutants.append(Mutant(path, start, end, replacement, "%s  [%s]" % (what, line_text), src))

    # Tables and state records are data too; only the declarations of array
    # sizes, loop bounds of fixed tables and the like are left in as they come.
    for i, tok in enumerate(tokens):
        prev = tokens[i - 1] if i > 0 else None
        if tok.kind == "number":
            # Array sizes in declarations only fail to compile or leave room unused.
            if prev is not None and prev.text == "[" and i >= 2 and tokens[i - 2].text in ("]",) + \
                    tuple(t.text for t in tokens[i - 2:i - 1] if t.kind == "ident") and \
                    i + 2 < len(tokens) and tokens[i + 1].text == "]" and tokens[i + 2].text in ("=", ";", "["):
                continue
            new = mutated_number(tok.text)
            add(tok.start, tok.end, new, "%s -> %s" % (tok.text, new))
            # A negative constant turned positive: the sign of a step or rate.
            if prev is not None and prev.text == "-" and i >= 2 and tokens[i - 2].text in ("(", ",", "{", "=", "return"):
                add(prev.start, tok.end, tok.text, "-%s -> %s" % (tok.text, tok.text))
        elif tok.kind == "op" and tok.text in BINARY_SWAPS:
            # Only binary operators: the token before must end an operand.
            if prev is None or not (prev.kind in ("number", "ident") or prev.text in (")", "]")):
                continue
            if prev.kind == "ident" and prev.text in ("return", "case", "const", "float", "double", "int", "auto"):
                continue
            # Template brackets and pointers-to-member are not comparisons.
            if tok.text in ("<", ">") and prev.kind == "ident" and re.match(r"^(static_cast|std|vector|array|max|min)$", prev.text):
                continue
            if tok.text == "<" and prev.kind == "ident" and i >= 2 and tokens[i - 2].text == ":":
                continue
            if tok.text == ">" and template_close(tokens, i):
                continue
            # Text joined to text: "a" - b does not compile.
            if tok.text == "+" and (prev.kind == "string" or (i + 1 < len(tokens) and tokens[i + 1].kind == "string")):
                continue
            if tok.text == "*" and i + 1 < len(tokens) and tokens[i + 1].text in (")", ",", ">"):
                continue
            # A pointer declaration ("ArcBand* band = ...") is not a product.
            if tok.text == "*" and i + 2 < len(tokens) and tokens[i + 1].kind == "ident" and \
                    tokens[i + 2].text in ("=", ";") and prev.kind == "ident":
                continue
            # Nor is a parameter's ("SyncWarnings* warnings"): written against the type, not spaced.
            if tok.text == "*" and prev.kind == "ident" and src[tok.start - 1] not in " \t" and src[tok.end] in " \t":
                continue
            new = BINARY_SWAPS[tok.text]
            add(tok.start, tok.end, new, "%s -> %s" % (tok.text, new))
        elif tok.kind == "ident" and i + 1 < len(tokens) and tokens[i + 1].text == "(":
            args, close = top_level_args(tokens, i + 1)
            is_statement = prev is not None and prev.text in (";", "{", "}", ")", "else") and \
                close + 1 < len(tokens) and tokens[close + 1].text == ";"
            if tok.text in STATE_CALLS and is_statement:
                add(tok.start, tokens[close].end, "(void)0", "delete %s(...)" % tok.text)
            if SWAP_CALLS.match(tok.text) and len(args) >= 2 and not (prev and prev.kind == "ident" and prev.text in ("void", "float", "double", "int", "bool", "CellColour", "WheelRing")):
                texts = [src[tokens[a].start:tokens[b - 1].end] for a, b in args]
                for k in range(len(texts) - 1):
                    if texts[k] != texts[k + 1]:
                        a0, a1 = args[k], args[k + 1]
                        s0, e0 = tokens[a0[0]].start, tokens[a0[1] - 1].end
                        s1, e1 = tokens[a1[0]].start, tokens[a1[1] - 1].end
                        replacement = texts[k + 1] + src[e0:s1] + texts[k]
                        add(s0, e1, replacement, "%s: swap %s and %s" % (tok.text, texts[k], texts[k + 1]))
                        break
        # A condition negated.
        if tok.text == "if" and i + 1 < len(tokens) and tokens[i + 1].text == "(":
            close = matching(tokens, i + 1)
            if close is not None and close > i + 2:
                cond = src[tokens[i + 2].start:tokens[close - 1].end]
                add(tokens[i + 2].start, tokens[close - 1].end, "!(%s)" % cond, "negate if (...)")
        # An early return or continue deleted: one that is the whole body of an
        # if, else or loop, or the first statement of its braced block.
        if tok.text in ("return", "continue") and prev is not None and \
                (controls(tokens, i - 1) or (prev.text == "{" and controls(tokens, i - 2))):
            end = i
            while end < len(tokens) and tokens[end].text != ";":
                end += 1
            if end < len(tokens):
                add(tok.start, tokens[end].end, ";", "delete %s" % ("return" if tok.text == "return" else "continue"))
        # A member assigned (or anything reset to {}) at the start of a
        # statement: the statement dropped.
        if tok.kind == "ident" and (prev is None or prev.text in (";", "{", "}") or controls(tokens, i - 1)):
            j = i
            member = False
            while j + 2 < len(tokens) and tokens[j + 1].text in (".", "->") and tokens[j + 2].kind == "ident":
                member = True
                j += 2
            if j + 1 < len(tokens) and tokens[j + 1].text == "=":
                end = j + 1
                while end < len(tokens) and tokens[end].text != ";":
                    end += 1
                reset = tokens[j + 2].text == "{" and tokens[j + 3].text == "}" if j + 3 < len(tokens) else False
                if end < len(tokens) and (member or tok.text.endswith("_") or reset):
                    add(tok.start, tokens[end].end, ";", "drop %s = ..." % src[tok.start:tokens[j].end])
        # A bound moved by one: the number after a comparison one lower (the
        # general rule makes it one higher), a plain name or member one less.
        if tok.text in ("<", "<=", ">", ">=") and prev is not None and \
                (prev.kind in ("number", "ident") or prev.text in (")", "]")) and i + 1 < len(tokens):
            nxt = tokens[i + 1]
            if tok.text == ">" and template_close(tokens, i):
                continue
            if prev.kind == "ident" and (re.match(r"^(static_cast|std|vector|array|max|min|template|numeric_limits)$",
                                                  prev.text) or (i >= 2 and tokens[i - 2].text in ("::", ":"))):
                continue
            if nxt.kind == "number" and re.fullmatch(r"\d+[uUlL]*", nxt.text) and int(re.match(r"\d+", nxt.text).group()) > 0:
                digits = re.match(r"\d+", nxt.text).group()
                new = str(int(digits) - 1) + nxt.text[len(digits):]
                add(nxt.start, nxt.end, new, "bound %s -> %s" % (nxt.text, new))
            elif nxt.kind == "ident" and nxt.text not in KEYWORDS:
                j = i + 1
                while j + 2 < len(tokens) and tokens[j + 1].text in (".", "->", "::") and tokens[j + 2].kind == "ident":
                    j += 2
                after = tokens[j + 1].text if j + 1 < len(tokens) else ";"
                if after not in ("(", "[", "<", "::"):
                    name = src[nxt.start:tokens[j].end]
                    add(nxt.start, tokens[j].end, name + " - 1", "bound %s -> %s - 1" % (name, name))
    return mutants


def read_equivalents():
    path = os.path.join(HERE, "equivalent.txt")
    keys = {}
    if not os.path.exists(path):
        return keys
    for line in open(path):
        line = line.rstrip("\n")
        if not line.strip() or line.startswith("#"):
            continue
        key, _, reason = line.rpartition(" || ")
        keys[key.strip()] = reason.strip()
    return keys


# A test run's data segment (heap included): a mutant that makes a loop grow
# a buffer without end fails at this size instead of filling the machine.
TEST_MEMORY = 4 << 30


def limit_memory():
    resource.setrlimit(resource.RLIMIT_DATA, (TEST_MEMORY, TEST_MEMORY))


def run(cmd, timeout, cwd=None, env=None, memory_limit=False):
    """Runs cmd in its own process group; kills the group at the time limit."""
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True, preexec_fn=limit_memory if memory_limit else None)
    try:
        out, _ = proc.communicate(timeout=timeout)
        return proc.returncode, out.decode(errors="replace")
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        return None, "time-out"
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        raise


def kill_strays(build_dir):
    """Kills whatever still runs from this build's programs. The tests start the
    programs in process groups of their own, which a test executable's time-out
    does not reach: a mutant that loops would go on using a core for hours."""
    prefix = os.path.realpath(build_dir) + os.sep
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.readlink("/proc/%s/exe" % pid).startswith(prefix):
                os.kill(int(pid), signal.SIGKILL)
        except OSError:
            pass


def refresh_copy(source):
    """Copies the working tree's files (tracked and new, not ignored) into `source`, touching only changed ones."""
    files = subprocess.check_output(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT).decode()
    for rel in filter(None, files.split("\0")):
        src, dst = os.path.join(ROOT, rel), os.path.join(source, rel)
        if not os.path.isfile(src):
            continue
        with open(src, "rb") as f:
            data = f.read()
        if os.path.exists(dst):
            with open(dst, "rb") as f:
                if f.read() == data:
                    continue
        os.makedirs(os.path.dirname(dst), exist_ok=True)
        with open(dst, "wb") as f:
            f.write(data)
        shutil.copymode(src, dst)


def configure(build_dir, source):
    cached = os.path.exists(os.path.join(build_dir, "CMakeCache.txt"))
    generator = ["-G", "Ninja"] if shutil.which("ninja") and not cached else []
    # No debug information and light optimisation: most of the time goes to
    # compiling and linking, little to the tests. The standard library checks
    # its bounds, so that a fault that walks one past a vector or a string
    # fails the test that walks there instead of reading what lies beyond.
    # Test lists are read when the tests run, not after every link.
    flags = "-O1 -D_GLIBCXX_ASSERTIONS"
    subprocess.check_call(["cmake", "-S", source, "-B", build_dir] + generator +
                          ["-DCMAKE_BUILD_TYPE=MutantCheck", "-DCMAKE_CXX_FLAGS_MUTANTCHECK=" + flags,
                           "-DCMAKE_C_FLAGS_MUTANTCHECK=" + flags, "-DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST"],
                          stdout=subprocess.DEVNULL)


def build(build_dir, targets, timeout=600):
    return run(["nice", "-n", "10", "cmake", "--build", build_dir, "--target"] + targets + ["--", "-j2"], timeout)


# The image tests that draw what a scene source draws: they render real
# frames and take seconds each, so a mutant runs only its own scene's. The
# shared code (primitives, schedule) runs them all.
IMAGE_TESTS = {
    "arc_bands.cpp": "ArcBandsImage.*",
    "logo_tiles.cpp": "LogoTilesImage.*",
    "tumbling_cubes.cpp": "TumblingCubesImage.*",
    "credits_field.cpp": "BatchedDrawingImage.BatchedField*",
    "greetings.cpp": "LateScenesImage.*",
    "closing_wheels.cpp": "LateScenesImage.*:BatchedDrawingImage.Wheels*",
    "opening_squares.cpp": "OpeningSquaresImage.*",
}


# How long each test executable took on the unchanged sources (set by main):
# a mutant's run gets a minute and six times that, since one that loops must
# not cost the whole --timeout. The margin is wide because the programs the
# tests run slow down more than threefold on a loaded machine, and a run cut
# short there would count as a kill.
BASELINE_SECONDS = {}


def test_one(build_dir, target, timeout, gtest_filter="*"):
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")
    exe = os.path.join(build_dir, "tests", target)
    if target in BASELINE_SECONDS:
        timeout = min(timeout, 60 + 6 * BASELINE_SECONDS[target])
    code, out = run(["nice", "-n", "10", exe, "--gtest_fail_fast", "--gtest_brief=1", "--gtest_filter=" + gtest_filter],
                    timeout, cwd=os.path.join(build_dir, "source"), env=env, memory_limit=True)
    kill_strays(build_dir)
    if code == 0:
        return True, ""
    failed = re.findall(r"\[  FAILED  \] (\S+)", out)
    return False, failed[0] if failed else ("time-out" if code is None else "exit %s" % code)


def runs_for(layer, name):
    runs = LAYERS[layer]["runs"]
    return runs(name) if callable(runs) else runs


def test(build_dir, timeout, layer, name):
    """Builds and runs the layer's tests for the file `name`, one executable after the other,
    stopping at the first that fails. Returns (built, passed, what failed)."""
    for target, gtest_filter in runs_for(layer, name):
        code, out = build(build_dir, [target])
        if code != 0:
            return False, False, out
        ok, failed = test_one(build_dir, target, timeout, gtest_filter)
        if not ok:
            return True, False, failed
    return True, True, ""


def layer_files(source, layer):
    """The layer's files in the copy of the sources, by its globs, less those it skips."""
    entry = LAYERS[layer]
    files = sorted({f for pattern in entry["files"] for f in glob.glob(os.path.join(source, pattern))})
    return [f for f in files if not any(fnmatch.fnmatch(os.path.basename(f), s) for s in entry.get("skip", []))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build-mutants"))
    parser.add_argument("--layer", action="append", choices=sorted(LAYERS),
                        help="only this layer (may be given more than once; default: every layer)")
    parser.add_argument("--file", action="append", help="only mutants of this source (name or path)")
    parser.add_argument("--only", help="only these mutant numbers, comma-separated (as --list shows them)")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--list-layers", action="store_true",
                        help="list each layer's files, the files it leaves out, and its tests, and stop")
    parser.add_argument("--timeout", type=float, default=120, help="seconds per test executable")
    parser.add_argument("--sample", type=int, default=60,
                        help="run this many mutants per layer, every k-th of its full list (0: all of them)")
    args = parser.parse_args()

    args.build_dir = os.path.abspath(args.build_dir)
    source = os.path.join(args.build_dir, "source")
    SOURCE_ROOT.append(source)
    refresh_copy(source)
    layers = args.layer or list(LAYERS)

    if args.list_layers:
        for layer in layers:
            entry = LAYERS[layer]
            files = layer_files(source, layer)
            every = sorted({f for pattern in entry["files"] for f in glob.glob(os.path.join(source, pattern))})
            print("%s: %s" % (layer, " ".join(os.path.relpath(f, source) for f in files)))
            left = [os.path.relpath(f, source) for f in every if f not in files]
            if left:
                print("  left out: %s" % " ".join(left))
            for name, functions in entry.get("functions", {}).items():
                print("  %s: only %s" % (name, ", ".join(functions)))
            tests = sorted({"%s %s" % r for f in files for r in runs_for(layer, os.path.basename(f))})
            print("  tests: %s" % "; ".join(tests))
        return 0

    plan = []  # (layer, [(number, mutant)]) in the order they run
    for layer in layers:
        files = layer_files(source, layer)
        if args.file:
            wanted = {os.path.basename(f) for f in args.file}
            files = [f for f in files if os.path.basename(f) in wanted or os.path.relpath(f, source) in args.file]
        functions = LAYERS[layer].get("functions", {})
        mutants = [m for f in files for m in generate(f, functions.get(os.path.basename(f)))]
        numbered = list(enumerate(mutants, 1))
        # Every k-th mutant: the sample spreads over every file and every kind of
        # fault, and is the same on every run of the same sources.
        if args.sample and len(numbered) > args.sample:
            stride = len(numbered) / args.sample
            numbered = [numbered[int(i * stride)] for i in range(args.sample)]
        if args.only:
            chosen = {int(n) for n in args.only.split(",")}
            numbered = [(n, m) for n, m in numbered if n in chosen]
        if numbered:
            plan.append((layer, numbered, len(mutants)))
    if args.list:
        for layer, numbered, total in plan:
            for n, m in numbered:
                print("%-8s %4d %s:%d:%d: %s" % (layer, n, os.path.relpath(m.path, source), m.line, m.column,
                                                 m.description))
            print("%s: %d of %d mutants" % (layer, len(numbered), total))
        return 0

    # A termination request restores the sources like Ctrl-C does.
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))
    equivalents = read_equivalents()
    configure(args.build_dir, source)
    results = []
    failing = False
    originals = {}
    try:
        for layer, numbered, total in plan:
            # The unchanged sources first: the layer's tests must pass as they are.
            baseline_ok = True
            # Each test executable once, with every filter its files use.
            filters = {}
            for _, m in numbered:
                for target, gtest_filter in runs_for(layer, os.path.basename(m.path)):
                    filters.setdefault(target, set()).add(gtest_filter)
            for target, wanted in filters.items():
                code, out = build(args.build_dir, [target])
                built = code == 0
                BASELINE_SECONDS.pop(target, None)
                started = time.monotonic()
                ok, failed = test_one(args.build_dir, target, args.timeout,
                                      "*" if "*" in wanted else ":".join(sorted(wanted))) if built else (False, out)
                BASELINE_SECONDS[target] = time.monotonic() - started
                if not built or not ok:
                    sys.stderr.write(failed + "\n")
                    sys.stderr.write("mutants: %s: the unchanged sources do not build or do not pass their tests; "
                                     "layer skipped\n" % layer)
                    baseline_ok = False
                    break
            if not baseline_ok:
                failing = True
                continue
            began = time.monotonic()
            killed, survived, stillborn, equivalent = [], [], [], []
            results.append([layer, killed, survived, stillborn, equivalent, None, total])
            for n, m in numbered:
                original = originals.setdefault(m.path, open(m.path).read())
                try:
                    with open(m.path, "w") as f:
                        f.write(m.apply(original))
                    built, ok, failed = test(args.build_dir, args.timeout, layer, os.path.basename(m.path))
                    if not built:
                        stillborn.append((n, m))
                        result = "does not build"
                    elif not ok:
                        killed.append((n, m))
                        result = "killed by " + failed
                    elif m.equivalence(equivalents):
                        equivalent.append((n, m))
                        result = "survived, equivalent"
                    else:
                        survived.append((n, m))
                        result = "SURVIVED"
                finally:
                    with open(m.path, "w") as f:
                        f.write(original)
                print("%-8s %4d %s:%d:%d: %s: %s" % (layer, n, os.path.relpath(m.path, source), m.line, m.column,
                                                     m.description, result), flush=True)
            results[-1][5] = time.monotonic() - began
    except KeyboardInterrupt:
        print("\nmutants: interrupted; the sources are as they were", flush=True)
    finally:
        for path, text in originals.items():
            with open(path, "w") as f:
                f.write(text)

    print()
    for layer, killed, survived, stillborn, equivalent, _, _ in results:
        for n, m in survived:
            print("survived %-8s %4d %s:%d:%d: %s" % (layer, n, os.path.relpath(m.path, source), m.line, m.column,
                                                     m.description))
        for n, m in equivalent:
            print("equivalent %-8s %4d %s:%d: %s -- %s" % (layer, n, os.path.relpath(m.path, source), m.line,
                                                          m.description, m.equivalence(equivalents)))
    print()
    print("%-8s %6s %6s %8s %6s %10s %7s %9s %10s" % ("layer", "of", "run", "survived", "killed", "equivalent",
                                                      "score", "minutes", "s/mutant"))
    for layer, killed, survived, stillborn, equivalent, elapsed, total in results:
        if elapsed is None:  # interrupted inside this layer
            elapsed = time.monotonic() - began
        ran = len(killed) + len(survived) + len(equivalent) + len(stillborn)
        counted = len(killed) + len(survived)
        score = 100.0 * len(killed) / counted if counted else 0.0
        print("%-8s %6d %6d %8d %6d %10d %6.1f%% %9.1f %10.1f   (%d did not build)"
              % (layer, total, ran, len(survived), len(killed), len(equivalent), score, elapsed / 60,
                 elapsed / ran if ran else 0, len(stillborn)))
        failing = failing or bool(survived)
    return 1 if failing else 0


if __name__ == "__main__":
    sys.exit(main())
