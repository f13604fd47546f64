#!/usr/bin/env python3
"""Plants single-token faults in src/scenes/ and says which ones the tests catch.

Each mutant changes one thing in one scene source: a number, an operator, two
neighbouring arguments of a call swapped, or one GL state call deleted. The
scene and image tests are rebuilt with it and run; a mutant is killed when a test fails, crashes or
runs past the time limit, and survives when every test still passes. A mutant
that does not compile is counted apart.

The faults go into a copy of the sources inside the run's own build folder
(build-mutants/source, refreshed from the working tree at the start of every
run), never into the working tree: work and builds there go on undisturbed,
and an interrupted run leaves nothing behind. Only the two test targets are
rebuilt, and a mutant's file is put back after it, also on Ctrl-C.

Survivors that cannot change what is drawn are listed, with the reason, in
equivalent.txt next to this script; they are reported but not counted against
the score.

    tools/mutants/mutants.py [--list] [--file F] [--only N,M] [--sample N] [--build-dir D]

All faults together are far too many to build one by one on a small
machine, so by default an evenly spread sample of 170 runs (--sample 0: all).
"""
import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HERE = os.path.dirname(os.path.abspath(__file__))
TARGETS = ["scenes_tests", "image_tests"]
# Code without drawing in it (the state record of the frame delta, the
# texture set-up) is left out: the scene tests are not where its faults show.
SKIP_FILES = {"framedelta.cpp", "resources.cpp"}

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
  | (?P<number>(?:\d+\.\d*|\.\d+|\d+)(?:[eE][+-]?\d+)?[uUlLfF]*)
  | (?P<ident>[A-Za-z_]\w*)
  | (?P<op>->|\+\+|--|<<=|>>=|<<|>>|<=|>=|==|!=|&&|\|\||[-+*/%<>=!&|^~?:;,.(){}\[\]])
  | (?P<space>\s+)
""", re.S | re.M | re.X)


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

    def key(self):
        """Stable name for the list of equivalent mutants: file, the change, the line's text."""
        return "%s | %s" % (os.path.basename(self.path), self.description)

    def any_change_key(self):
        """The same for every change on this line: "FILE | *  [LINE]"."""
        return "%s | *  [%s]" % (os.path.basename(self.path), self.description.split("  [", 1)[1][:-1])

    def equivalence(self, equivalents):
        """The reason this mutant is listed as equivalent, if it is: by file, or by file:line (or
        file:line:column) where the same text stands on several lines or places."""
        name = os.path.basename(self.path)
        keys = [self.key(), self.any_change_key()]
        for at in ("%s:%d" % (name, self.line), "%s:%d:%d" % (name, self.line, self.column)):
            keys += [k.replace(name, at, 1) for k in keys[:2]]
        return next((equivalents[k] for k in keys if k in equivalents), None)

    def apply(self, src):
        return src[:self.start] + self.replacement + src[self.end:]


def mutated_number(text):
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


def generate(path):
    src = open(path).read()
    tokens = tokenize(src)
    mutants = []

    def add(start, end, replacement, what):
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
            if tok.text == "*" and i + 1 < len(tokens) and tokens[i + 1].text in (")", ",", ">"):
                continue
            # A pointer declaration ("ArcBand* band = ...") is not a product.
            if tok.text == "*" and i + 2 < len(tokens) and tokens[i + 1].kind == "ident" and \
                    tokens[i + 2].text in ("=", ";") and prev.kind == "ident":
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
        key, _, reason = line.partition(" || ")
        keys[key.strip()] = reason.strip()
    return keys


def run(cmd, timeout, cwd=None, env=None):
    """Runs cmd in its own process group; kills the group at the time limit."""
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True)
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
    if os.path.exists(os.path.join(build_dir, "build.ninja")):
        return
    generator = ["-G", "Ninja"] if shutil.which("ninja") else []
    # No debug information and light optimisation: most of the time goes to
    # compiling and linking, little to the tests.
    # Test lists are read when the tests run, not after every link.
    subprocess.check_call(["cmake", "-S", source, "-B", build_dir] + generator +
                          ["-DCMAKE_BUILD_TYPE=MutantCheck", "-DCMAKE_CXX_FLAGS_MUTANTCHECK=-O1",
                           "-DCMAKE_C_FLAGS_MUTANTCHECK=-O1", "-DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST"],
                          stdout=subprocess.DEVNULL)


def build(build_dir, targets=TARGETS, timeout=600):
    return run(["cmake", "--build", build_dir, "--target"] + targets + ["--", "-j2"], timeout)


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


def test_one(build_dir, target, timeout, gtest_filter="*"):
    env = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")
    exe = os.path.join(build_dir, "tests", target)
    code, out = run([exe, "--gtest_fail_fast", "--gtest_brief=1", "--gtest_filter=" + gtest_filter], timeout,
                    cwd=os.path.join(build_dir, "source"), env=env)
    if code == 0:
        return True, ""
    failed = re.findall(r"\[  FAILED  \] (\S+)", out)
    return False, failed[0] if failed else ("time-out" if code is None else "exit %s" % code)


def test(build_dir, timeout, source=None):
    """Builds and runs the scene tests, then (if they all pass) the image tests of the source's scene.

    Returns (built, passed, what failed)."""
    for target, gtest_filter in (("scenes_tests", "*"), ("image_tests", IMAGE_TESTS.get(source, "*"))):
        code, out = build(build_dir, [target])
        if code != 0:
            return False, False, out
        ok, failed = test_one(build_dir, target, timeout, gtest_filter)
        if not ok:
            return True, False, failed
    return True, True, ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build-dir", default=os.path.join(ROOT, "build-mutants"))
    parser.add_argument("--file", action="append", help="only mutants of this scene source (name or path)")
    parser.add_argument("--only", help="only these mutant numbers, comma-separated (as --list shows them)")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--timeout", type=float, default=120, help="seconds per test executable")
    parser.add_argument("--sample", type=int, default=170,
                        help="run this many mutants, every k-th of the full list (0: all of them)")
    args = parser.parse_args()

    args.build_dir = os.path.abspath(args.build_dir)
    source = os.path.join(args.build_dir, "source")
    refresh_copy(source)
    scenes = os.path.join(source, "src", "scenes")
    files = sorted(f for f in os.listdir(scenes) if f.endswith(".cpp") and f not in SKIP_FILES)
    if args.file:
        wanted = {os.path.basename(f) for f in args.file}
        files = [f for f in files if f in wanted]
    mutants = [m for f in files for m in generate(os.path.join(scenes, f))]
    numbered = list(enumerate(mutants, 1))
    # Every k-th mutant: the sample spreads over every file and every kind of
    # fault, and is the same on every run of the same sources.
    if args.sample and len(numbered) > args.sample:
        stride = len(numbered) / args.sample
        numbered = [numbered[int(i * stride)] for i in range(args.sample)]
    if args.only:
        chosen = {int(n) for n in args.only.split(",")}
        numbered = [(n, m) for n, m in numbered if n in chosen]
    if args.list:
        for n, m in numbered:
            print("%4d %s:%d:%d: %s" % (n, os.path.relpath(m.path, source), m.line, m.column, m.description))
        print("%d mutants" % len(numbered))
        return 0

    # A termination request restores the sources like Ctrl-C does.
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))
    equivalents = read_equivalents()
    configure(args.build_dir, source)
    built, ok, failed = test(args.build_dir, args.timeout)
    if not built or not ok:
        sys.stderr.write(failed + "\n")
        sys.stderr.write("mutants: the unchanged sources do not build or do not pass their tests\n")
        return 1

    began = time.monotonic()
    killed, survived, stillborn, equivalent = [], [], [], []
    originals = {}
    try:
        for n, m in numbered:
            original = originals.setdefault(m.path, open(m.path).read())
            try:
                with open(m.path, "w") as f:
                    f.write(m.apply(original))
                built, ok, failed = test(args.build_dir, args.timeout, os.path.basename(m.path))
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
            print("%4d %s:%d:%d: %s: %s" % (n, os.path.relpath(m.path, source), m.line, m.column, m.description, result),
                  flush=True)
    except KeyboardInterrupt:
        print("\nmutants: interrupted; the sources are as they were", flush=True)
    finally:
        for path, text in originals.items():
            with open(path, "w") as f:
                f.write(text)

    counted = len(killed) + len(survived)
    minutes = (time.monotonic() - began) / 60
    print()
    for n, m in survived:
        print("survived %4d %s:%d:%d: %s" % (n, os.path.relpath(m.path, source), m.line, m.column, m.description))
    for n, m in equivalent:
        print("equivalent %4d %s:%d: %s -- %s" % (n, os.path.relpath(m.path, source), m.line, m.description,
                                               m.equivalence(equivalents)))
    score = 100.0 * len(killed) / counted if counted else 0.0
    print("mutants: %d killed, %d survived, %d equivalent (not counted), %d did not build; "
          "%.1f %% killed of %d, %.1f minutes" % (len(killed), len(survived), len(equivalent), len(stillborn), score,
                                                 counted, minutes))
    return 0 if not survived else 1


if __name__ == "__main__":
    sys.exit(main())
