"""Runs the documentation's checked snippets and compares what they print with
what the page quotes, so that a quoted output cannot drift from the program.

A fenced block preceded by an HTML comment is checked:

    <!-- checked -->             a shell session: each line starting with "$ "
                                 is a command, the lines after it until the
                                 next command are what it prints (standard
                                 output and error, as a terminal shows them)
    <!-- checked: NAME -->       the block is a file the next session uses
                                 (a C or Python program): written as NAME

In a quoted line "…" stands for any text: the digits that vary with the
machine or the process count, or a temporary file's name. Every other
character must match; trailing blanks do not count.

The sessions run in a scratch folder that holds the checkout's files as
links, so relative paths read as in the checkout and every file a session
writes stays out of it. HOME is the folder above it, with materials-venv
linked to the virtual environment given, and PATH starts with the build's
programs, as after the README's export. Blocks without a comment are not
run.
    doc_snippets.py VENV FILE.md...
"""

import os
import pty
import re
import select
import subprocess
import sys
import tempfile
import time
from pathlib import Path

MARKER = re.compile(r"^<!-- checked(?:: (\S+))? -->$")
FENCE = re.compile(r"^```")
PROMPT = "$ "
# A session that runs longer has hung (the longest, an MPI example, takes
# well under a minute).
SECONDS_PER_SESSION = 600


def checked_blocks(page):
    """(line number, file name or None, lines) of each marked block of PAGE."""
    lines = page.read_text().splitlines()
    blocks = []
    for number, line in enumerate(lines):
        marker = MARKER.match(line.strip())
        if not marker:
            continue
        start = number + 1
        if start >= len(lines) or not FENCE.match(lines[start]):
            raise SystemExit(f"{page}:{number + 1}: a checked marker not followed by a code block")
        end = next(i for i in range(start + 1, len(lines)) if FENCE.match(lines[i]))
        blocks.append((start + 1, marker.group(1), lines[start + 1 : end]))
    return blocks


def commands_and_outputs(block):
    """The session's commands, each with the lines quoted after it."""
    session = []
    for line in block:
        if line.startswith(PROMPT):
            session.append((line[len(PROMPT) :], []))
        elif session:
            session[-1][1].append(line)
    return session


# Printed between two commands' outputs, to cut the session's output apart.
BOUNDARY = "@@ next command @@"


def run_in_terminal(commands, folder, environment):
    """What each of COMMANDS prints to a terminal, run one after the other in
    one shell (so that an export or a cd holds for the commands after it):
    standard output and error on one pseudo-terminal, in the order a user
    sees them; standard input empty."""
    script = "".join(f"{command}\nprintf '%s\\n' '{BOUNDARY}'\n" for command in commands)
    leader, follower = pty.openpty()
    process = subprocess.Popen(
        ["bash", "-c", script],
        cwd=folder,
        env=environment,
        stdin=subprocess.DEVNULL,
        stdout=follower,
        stderr=follower,
    )
    os.close(follower)
    printed = b""
    deadline = time.monotonic() + SECONDS_PER_SESSION
    while select.select([leader], [], [], max(0, deadline - time.monotonic()))[0]:
        try:
            chunk = os.read(leader, 65536)
        except OSError:  # the terminal's other side closed: the commands are done
            break
        if not chunk:
            break
        printed += chunk
    else:
        process.kill()
        printed += b"(killed after %d s)" % SECONDS_PER_SESSION
    os.close(leader)
    process.wait()
    text = printed.decode(errors="replace").replace("\r\n", "\n")
    outputs = [part.splitlines() for part in text.split(BOUNDARY + "\n")]
    return outputs + [[]] * (len(commands) - len(outputs))


def matches(quoted, printed):
    pattern = ".*".join(re.escape(part) for part in quoted.rstrip().split("…"))
    return re.fullmatch(pattern, printed.rstrip()) is not None


def check_session(where, block, folder, environment):
    """Runs the session's commands; its failures, as text."""
    session = commands_and_outputs(block)
    if not session:
        return [f"{where}: a checked session without a command ({PROMPT!r})\n"]
    outputs = run_in_terminal([command for command, _ in session], folder, environment)
    failures = []
    for (command, quoted), printed in zip(session, outputs):
        if len(printed) != len(quoted) or not all(map(matches, quoted, printed)):
            failures.append(
                f"{where}: $ {command}\n  quoted:\n"
                + "".join(f"    {line}\n" for line in quoted)
                + "  printed:\n"
                + "".join(f"    {line}\n" for line in printed)
            )
    return failures


def scratch_checkout(checkout, scratch, venv):
    """A folder of links to the checkout's entries, and a home with the
    virtual environment where the pages install it."""
    folder = scratch / "checkout"
    folder.mkdir()
    for entry in checkout.iterdir():
        if entry.name not in (".git", "out"):  # out/: where the pages' commands write
            (folder / entry.name).symlink_to(entry)
    (scratch / "materials-venv").symlink_to(venv)
    return folder


def session_environment(home, folder):
    programs = folder / "build" / "default" / "bin"
    environment = dict(os.environ, HOME=str(home), TERM="dumb", COLUMNS="100")
    environment["PATH"] = f"{programs}:{environment['PATH']}"
    if os.getuid() == 0:  # as root, OpenMPI refuses to start without these
        environment.update(
            OMPI_ALLOW_RUN_AS_ROOT="1",
            OMPI_ALLOW_RUN_AS_ROOT_CONFIRM="1",
            OMPI_MCA_rmaps_base_oversubscribe="1",
        )
    return environment


def main(venv, *pages):
    checkout = Path(__file__).resolve().parent.parent
    start = time.monotonic()
    passed = failed = 0
    failures = []
    with tempfile.TemporaryDirectory() as scratch_name:
        scratch = Path(scratch_name)
        folder = scratch_checkout(checkout, scratch, Path(venv).resolve())
        environment = session_environment(scratch, folder)
        for page in map(Path, pages):
            for line, file_name, block in checked_blocks(page):
                where = f"{page}:{line}"
                if file_name:
                    (folder / file_name).write_text("\n".join(block) + "\n")
                    continue
                found = check_session(where, block, folder, environment)
                failures += found
                passed += not found
                failed += bool(found)
    for failure in failures:
        print(failure)
    seconds = time.monotonic() - start
    print(f"{passed} passed, {failed} failed in {seconds:.0f} s (documented snippets)")
    return 1 if failures or not passed else 0


if __name__ == "__main__":
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    sys.exit(main(*sys.argv[1:]))
