#!/usr/bin/env python3
"""Writes the manual pages olvend.1 and olvendctl.1.

olvendctl.1 is made from the README: its usage line, the paragraphs that
follow it and its table of commands. The build runs this script whenever the
README changes, so the page always lists the commands the README lists.

    make_manpages.py write README.md VERSION OUTDIR
        writes OUTDIR/olvend.1 and OUTDIR/olvendctl.1
    make_manpages.py lint GROFF PAGE
        fails when groff warns about PAGE (all warnings on)
    make_manpages.py check README.md PAGE
        fails (exit code 1) naming every command of the README's table that
        PAGE does not list as a command, and when PAGE's synopsis is not the
        README's usage line; PAGE is read as roff, independently of how it
        was written
"""

import os
import re
import subprocess
import sys
from pathlib import Path

USAGE_RE = re.compile(r"^\s+(olvendctl \[--home DIR\].*COMMAND)\s*$")
TABLE_HEAD_RE = re.compile(r"^\|\s*command\s*\|\s*what it does\s*\|\s*$")


class ReadmeError(Exception):
    pass



# The start of both pages' ENVIRONMENT section; each page says what
# XDG_DATA_HOME means to it.
ENVIRONMENT_HEAD = [
    ".SH ENVIRONMENT",
    ".TP",
    ".B OLVEND_HOME",
    "The program folder when \\fB\\-\\-home\\fR is not given.",
    ".TP",
    ".B XDG_DATA_HOME",
]

def split_row(line):
    """The cells of a Markdown table row; `\\|` is a literal bar."""
    body = line.strip()
    if not (body.startswith("|") and body.endswith("|")):
        raise ReadmeError(f"not a table row: {line!r}")
    cells, cell, i = [], "", 1
    while i < len(body) - 1:
        if body[i] == "\\" and body[i + 1] == "|":
            cell += "|"
            i += 2
            continue
        if body[i] == "|":
            cells.append(cell.strip())
            cell = ""
        else:
            cell += body[i]
        i += 1
    cells.append(cell.strip())
    return cells


def read_readme(path):
    """(usage line, paragraphs after it, [(command cell, description)])."""
    lines = Path(path).read_text(encoding="utf-8").splitlines()
    usage_at = next((i for i, l in enumerate(lines) if USAGE_RE.match(l)), None)
    if usage_at is None:
        raise ReadmeError("no usage line 'olvendctl [--home DIR] ... COMMAND' in the README")
    head_at = next((i for i in range(usage_at, len(lines)) if TABLE_HEAD_RE.match(lines[i])), None)
    if head_at is None:
        raise ReadmeError("no table '| command | what it does |' after the usage line")
    if head_at + 1 >= len(lines) or not re.match(r"^\|[-:| ]+\|$", lines[head_at + 1].strip()):
        raise ReadmeError("the command table has no separator line under its header")

    # Paragraphs between the usage line and the table: text paragraphs, and
    # indented blocks (examples) kept as they are.
    blocks, current, current_kind = [], [], None
    for line in lines[usage_at + 1 : head_at]:
        if not line.strip():
            if current:
                blocks.append((current_kind, current))
            current, current_kind = [], None
            continue
        kind = "example" if line.startswith("    ") else "text"
        if current and kind != current_kind:
            blocks.append((current_kind, current))
            current = []
        current_kind = kind
        current.append(line[4:] if kind == "example" else line.strip())
    if current:
        blocks.append((current_kind, current))

    rows = []
    for line in lines[head_at + 2 :]:
        if not line.strip().startswith("|"):
            break
        cells = split_row(line)
        if len(cells) != 2:
            raise ReadmeError(f"a command row has {len(cells)} cells, not 2: {line!r}")
        rows.append((cells[0], cells[1]))
    if not rows:
        raise ReadmeError("the command table has no rows")
    return USAGE_RE.match(lines[usage_at]).group(1), blocks, rows


def code_spans(cell):
    return re.findall(r"`([^`]+)`", cell)


def roff_text(text):
    """Plain text for a roff line: backslashes escaped, minus signs as such."""
    text = text.replace("\\", "\\e")
    text = text.replace("-", "\\-")
    return text


def roff_inline(markdown):
    """Markdown inline text (code spans) as roff, code in bold."""
    out, pos = [], 0
    for m in re.finditer(r"`([^`]+)`", markdown):
        out.append(roff_text(markdown[pos : m.start()]))
        out.append("\\fB" + roff_text(m.group(1)) + "\\fR")
        pos = m.end()
    out.append(roff_text(markdown[pos:]))
    return "".join(out)


def roff_lines(text):
    """Text as roff input lines: a line that would start with a control
    character is protected, and long texts are broken at spaces so that no
    input line is overly long."""
    words = text.split(" ")
    lines, line = [], ""
    for w in words:
        if line and len(line) + 1 + len(w) > 78:
            lines.append(line)
            line = w
        else:
            line = f"{line} {w}" if line else w
    if line:
        lines.append(line)
    return [("\\&" + l) if l[:1] in (".", "'") else l for l in lines]


def page_head(name, version, title):
    return [
        f'.TH {name.upper()} 1 "" "Olvend {version}" "Olvend"',
        # No hyphenation: command words and identifiers must stay whole.
        ".nh",
        ".SH NAME",
        f"{name} \\- {title}",
    ]


def olvendctl_page(readme, version):
    usage, blocks, rows = read_readme(readme)
    out = page_head("olvendctl", version, "command\\-line companion of the Olvend business application")
    # The synopsis: the program name in bold, options and words as written.
    out += [".SH SYNOPSIS", ".B olvendctl"]
    out += roff_lines(roff_text(usage[len("olvendctl ") :]))
    out += [".br", ".B olvendctl \\-\\-version"]
    out += [".SH DESCRIPTION"]
    first = True
    for kind, lines in blocks:
        if not first:
            out.append(".PP")
        first = False
        if kind == "example":
            out += [".RS 4", ".nf"] + ["\\&" + roff_text(l) for l in lines] + [".fi", ".RE"]
        else:
            out += roff_lines(roff_inline(" ".join(lines)))
    out += [".SH COMMANDS"]
    for command, what in rows:
        spans = code_spans(command)
        if not spans:
            raise ReadmeError(f"a command cell without a `command`: {command!r}")
        out.append(".TP")
        out.append(" / ".join("\\fB" + roff_text(s) + "\\fR" for s in spans))
        out += roff_lines(roff_inline(what))
    out += [
        ".SH OPTIONS",
        ".TP",
        "\\fB\\-\\-home\\fR \\fIDIR\\fR",
        "The program folder to work on.",
        ".TP",
        "\\fB\\-\\-today\\fR \\fIYYYY\\-MM\\-DD\\fR",
        "The day the command takes as today.",
        ".TP",
        "\\fB\\-\\-book\\fR \\fINAME\\fR",
        "The account book to work on (its name or ID as \\fBbooks\\fR lists them).",
        ".TP",
        "\\fB\\-\\-user\\fR \\fINAME\\fR",
        "The user the command acts as; the user's rights are checked.",
        ".TP",
        "\\fB\\-\\-version\\fR",
        "Prints the program's version and its program folder, and exits.",
        *ENVIRONMENT_HEAD,
        "An installed olvendctl without \\fB\\-\\-home\\fR or \\fBOLVEND_HOME\\fR",
        "works on \\fI$XDG_DATA_HOME/olvend\\fR (default \\fI~/.local/share/olvend\\fR),",
        "the folder the installed program uses.",
        ".SH EXIT STATUS",
        "0 on success; 1 when the command failed (the reason in Chinese on standard",
        "error); 2 when the command was used wrongly (its usage on standard error);",
        "3 when the acting user lacks the right the command needs.",
        ".SH SEE ALSO",
        ".BR olvend (1);",
        "the README of Olvend in \\fI/usr/share/doc/olvend/\\fR.",
    ]
    return "\n".join(out) + "\n"


def olvend_page(version):
    out = page_head("olvend", version, "business application for small trading companies")
    out += [
        ".SH SYNOPSIS",
        ".B olvend",
        "[\\fB\\-\\-home\\fR \\fIDIR\\fR]",
        "[\\fB\\-\\-today\\fR \\fIYYYY\\-MM\\-DD\\fR]",
        "[\\fB\\-\\-version\\fR]",
        ".SH DESCRIPTION",
        "Olvend keeps customers and suppliers, a goods catalogue, quotations,",
        "receipts, order forms, expenses and statistics, with users, groups and",
        "per\\-command rights. Each company keeps its data in its own account book.",
        "The screens are Chinese.",
        ".PP",
        "Account books are SQLite files in the program folder by default, or one",
        "PostgreSQL database that several workstations share, as set in the",
        "program folder's \\fIconfig.ini\\fR.",
        ".PP",
        "On first start the program folder receives \\fIconfig.ini\\fR, the list",
        "of account books \\fIdb/System.db\\fR and a first book",
        "\\fIdb/UserAccountBook001.db\\fR.",
        "Failures shown to a user are also appended to \\fIolvend.log\\fR in the",
        "program folder.",
        ".SH OPTIONS",
        ".TP",
        "\\fB\\-\\-home\\fR \\fIDIR\\fR",
        "Uses \\fIDIR\\fR as the program folder.",
        ".TP",
        "\\fB\\-\\-today\\fR \\fIYYYY\\-MM\\-DD\\fR",
        "Takes the given day as today.",
        ".TP",
        "\\fB\\-\\-version\\fR",
        "Prints the program's version and its program folder, and exits.",
        ".TP",
        "\\fB\\-\\-help\\fR",
        "Lists these options and exits.",
        ".SH FILES",
        ".TP",
        ".I ~/.local/share/olvend",
        "The program folder of an installed program when neither",
        "\\fB\\-\\-home\\fR nor \\fBOLVEND_HOME\\fR names one",
        "(\\fI$XDG_DATA_HOME/olvend\\fR when that variable is set).",
        "Removing the package leaves it in place.",
        *ENVIRONMENT_HEAD,
        "The base of the default program folder (default \\fI~/.local/share\\fR).",
        ".SH SEE ALSO",
        ".BR olvendctl (1);",
        "the README of Olvend in \\fI/usr/share/doc/olvend/\\fR.",
    ]
    return "\n".join(out) + "\n"


def unroff(text):
    """A roff line as the text it shows: font changes and the zero-width
    protection removed, escaped minus and backslash as the characters."""
    text = re.sub(r"\\f[BIRP]", "", text)
    text = text.replace("\\&", "").replace("\\-", "-").replace("\\e", "\\")
    return text


def check(readme, page_path):
    usage, _, rows = read_readme(readme)
    lines = Path(page_path).read_text(encoding="utf-8").splitlines()
    problems = []

    # The tags of the COMMANDS section: the line after each .TP.
    try:
        start = lines.index(".SH COMMANDS")
    except ValueError:
        problems.append("the page has no COMMANDS section")
        start = len(lines)
    end = next((i for i in range(start + 1, len(lines)) if lines[i].startswith(".SH ")), len(lines))
    tags = set()
    for i in range(start, end - 1):
        if lines[i] == ".TP":
            for tag in unroff(lines[i + 1]).split(" / "):
                tags.add(tag.strip())
    for command, _ in rows:
        for span in code_spans(command):
            if span not in tags:
                problems.append(f"the README's command `{span}` is not a command of the page")
    expected = sum(len(code_spans(c)) for c, _ in rows)
    if len(tags) != expected:
        problems.append(f"the page lists {len(tags)} commands, the README's table {expected}")

    # The synopsis: from .SH SYNOPSIS to the first .br, joined.
    try:
        s = lines.index(".SH SYNOPSIS")
        synopsis = []
        for line in lines[s + 1 :]:
            if line.startswith(".br") or line.startswith(".SH"):
                break
            synopsis.append(unroff(line[3:] if line.startswith(".B ") else line))
        if " ".join(synopsis) != usage:
            problems.append(f"the page's synopsis {' '.join(synopsis)!r} is not the README's {usage!r}")
    except ValueError:
        problems.append("the page has no SYNOPSIS section")

    for p in problems:
        print(f"{page_path}: {p}", file=sys.stderr)
    if not problems:
        print(f"{page_path}: {len(tags)} commands, as in the README's table")
    return 1 if problems else 0


def lint(groff, page_path):
    run = subprocess.run(
        [groff, "-k", "-man", "-Tutf8", "-ww", "-z", page_path],
        capture_output=True,
        text=True,
        env=dict(os.environ, LC_ALL="C.UTF-8"),
    )
    said = (run.stdout + run.stderr).strip()
    if run.returncode != 0 or said:
        print(f"{page_path}: groff (exit code {run.returncode}):\n{said}", file=sys.stderr)
        return 1
    print(f"{page_path}: groff reads it without a warning")
    return 0


def main(argv):
    try:
        if len(argv) == 5 and argv[1] == "write":
            readme, version, outdir = argv[2], argv[3], Path(argv[4])
            outdir.mkdir(parents=True, exist_ok=True)
            (outdir / "olvendctl.1").write_text(olvendctl_page(readme, version), encoding="utf-8")
            (outdir / "olvend.1").write_text(olvend_page(version), encoding="utf-8")
            return 0
        if len(argv) == 4 and argv[1] == "lint":
            return lint(argv[2], argv[3])
        if len(argv) == 4 and argv[1] == "check":
            return check(argv[2], argv[3])
    except ReadmeError as e:
        print(f"make_manpages: {argv[2]}: {e}", file=sys.stderr)
        return 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
