#!/usr/bin/env python3
"""Writes the manual pages and the bash completion of the programs from their own --help output,
so that neither can disagree with what the programs say about themselves.

  helpman.py ost2eml-man PROGRAM EXTRA VERSION OUTPUT      ost2eml(1), from every command's help
  helpman.py desktop-man PROGRAM EXTRA VERSION OUTPUT      tarvolin-ost2eml(1)
  helpman.py completion PROGRAM TEMPLATE OUTPUT            the bash completion of ost2eml

EXTRA holds what --help does not say (the files written, examples, references) as roff text
under "[SECTION]" lines. A page is written gzip-compressed when OUTPUT ends in ".gz".
"""

import datetime
import gzip
import os
import re
import subprocess
import sys


def run_help(program, *arguments):
    environment = dict(os.environ, QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8")
    result = subprocess.run([program, *arguments], capture_output=True, text=True, env=environment,
                            timeout=60, check=False)
    if result.returncode != 0:
        sys.exit(f"{program} {' '.join(arguments)} ended with {result.returncode}: {result.stderr}")
    return result.stdout


class CommandHelp:
    """One QCommandLineParser help text: usage, description, options and arguments."""

    def __init__(self, text):
        self.usage = ""  # what follows "[options]" in the usage line
        self.description = []
        self.options = []  # (flags, value name or None, description)
        self.arguments = []  # (name, description)
        section = "description"
        for line in text.splitlines():
            if line.startswith("Usage: "):
                self.usage = line.partition("[options]")[2].strip()
                continue
            if line in ("Options:", "Arguments:"):
                section = line[:-1].lower()
                continue
            if section == "description":
                if line.strip():
                    self.description.append(line.strip())
                continue
            entries = self.options if section == "options" else self.arguments
            match = re.match(r"^  (\S.*?)(?: {2,}(.*))?$", line)
            if match and not line.startswith("   "):
                head, body = match.group(1), match.group(2) or ""
                if section == "options":
                    value = re.search(r"<([^>]+)>$", head)
                    flags = [flag.strip() for flag in re.sub(r"\s*<[^>]+>$", "", head).split(",")]
                    entries.append((flags, value.group(1) if value else None, body))
                else:
                    entries.append((head, body))
            elif line.strip() and entries:
                # A description wrapped onto the next line.
                *first, last = entries[-1]
                entries[-1] = (*first, (last + " " + line.strip()).strip())

    def long_options(self):
        return [flag for flags, _, _ in self.options for flag in flags]

    def positional_names(self):
        return [name.strip("[]") for name, _ in self.arguments]


class TopLevelHelp:
    """ost2eml's own usage text: the commands, the description and the exit codes."""

    def __init__(self, text):
        self.commands = []  # (name, summary)
        self.description = []
        self.exit_codes = []  # (code, meaning)
        section = "usage"
        codes = ""
        for line in text.splitlines():
            if line.startswith("Commands:"):
                section = "commands"
            elif line.startswith("Exit codes: "):
                section = "exit codes"
                codes = line[len("Exit codes: "):]
            elif section == "exit codes" and line.strip():
                codes += " " + line.strip()
            elif section == "usage" and line and not line.startswith(("Usage:", " ")):
                self.description.append(line.strip())
            elif section == "commands":
                match = re.match(r"^  (\S+)\s+(.*)$", line)
                if match:
                    self.commands.append((match.group(1), match.group(2)))
                elif line.strip():
                    section = "after"
        for part in (re.split(r",\s*(?=\d+ )", codes.rstrip(".")) if codes else []):
            code, _, meaning = part.partition(" ")
            self.exit_codes.append((code, meaning))


def roff(text):
    """Escapes text for roff: backslashes, hyphens of options, lines that would be requests."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def synopsis_words(words):
    """Option words in bold, placeholders in italics, brackets and bars in roman."""
    out = []
    for word in words.split():
        core = word.strip("[]|")
        pre, post = word[:len(word) - len(word.lstrip("[|"))], word[len(word.rstrip("]|")):]
        if core.startswith("-"):
            out.append(f"{roff(pre)}\\fB{roff(core)}\\fR{roff(post)}")
        elif core.isupper() or core in ("options",):
            out.append(f"{roff(pre)}\\fI{roff(core)}\\fR{roff(post)}")
        else:
            out.append(roff(word))
    return " ".join(out)


def option_item(flags, value, description):
    name = ", ".join(f"\\fB{roff(flag)}\\fR" for flag in flags)
    if value:
        name += f" \\fI{roff(value)}\\fR"
    return [".TP", name, roff(description)]


def read_extra(path):
    sections, current = {}, None
    with open(path, encoding="utf-8") as extra:
        for line in extra.read().splitlines():
            match = re.match(r"^\[(.+)\]$", line)
            if match:
                current = match.group(1).upper()
                sections[current] = []
            elif current:
                sections[current].append(line)
    return {name: "\n".join(lines).strip("\n") for name, lines in sections.items()}


def page_date():
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    moment = datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc) if epoch else \
        datetime.datetime.now(datetime.timezone.utc)
    return moment.strftime("%Y-%m-%d")


def header(name, version, summary):
    return [f'.TH {name.upper()} 1 "{page_date()}" "{name} {version}" "User Commands"',
            ".SH NAME", f"{name} \\- {roff(summary)}"]


def finish(lines, extra, order):
    for section in order:
        if section in extra:
            lines += [f".SH {section}", extra[section]]
    return "\n".join(lines) + "\n"


def summary_of(description):
    sentence = " ".join(description).split(". ")[0].rstrip(".")
    return sentence[0].lower() + sentence[1:]


def ost2eml_page(program, extra, version):
    top = TopLevelHelp(run_help(program, "--help"))
    commands = [(name, summary, CommandHelp(run_help(program, name, "--help")))
                for name, summary in top.commands]
    lines = header("ost2eml", version, summary_of(top.description))
    lines.append(".SH SYNOPSIS")
    for name, _, command in commands:
        lines += [".br", f"\\fBost2eml {name}\\fR [\\fIoptions\\fR] {synopsis_words(command.usage)}"]
    lines += [".br", "\\fBost2eml\\fR \\fB\\-\\-help\\fR | \\fB\\-\\-version\\fR"]
    lines += [".SH DESCRIPTION", roff(" ".join(top.description))]
    if "DESCRIPTION" in extra:
        lines += [".PP", extra.pop("DESCRIPTION")]
    lines.append(".SH COMMANDS")
    for name, summary, command in commands:
        lines += [f".SS \"ost2eml {name} [options] {command.usage}\"",
                  roff(" ".join(command.description) or summary)]
        for argument, description in command.arguments:
            lines += [".TP", f"\\fI{roff(argument)}\\fR", roff(description)]
        for flags, value, description in command.options:
            lines += option_item(flags, value, description)
    lines += [".SH OPTIONS"]
    lines += option_item(["-h", "--help"], None,
                         "Print the commands; with a command, that command's options.")
    lines += option_item(["-v", "--version"], None, "Print the version.")
    lines.append(".SH EXIT STATUS")
    for code, meaning in top.exit_codes:
        lines += [".TP", f"\\fB{code}\\fR", roff(meaning[0].upper() + meaning[1:] + ".")]
    return finish(lines, extra, ["FILES", "ENVIRONMENT", "EXAMPLES", "SEE ALSO"])


def desktop_page(program, extra, version):
    command = CommandHelp(run_help(program, "--help"))
    lines = header("tarvolin-ost2eml", version, summary_of(command.description))
    lines += [".SH SYNOPSIS", f"\\fBtarvolin\\-ost2eml\\fR [\\fIoptions\\fR] {synopsis_words(command.usage)}"]
    lines += [".SH DESCRIPTION", roff(" ".join(command.description))]
    if "DESCRIPTION" in extra:
        lines += [".PP", extra.pop("DESCRIPTION")]
    lines.append(".SH OPTIONS")
    for flags, value, description in command.options:
        lines += option_item(flags, value, description)
    lines.append(".SH ARGUMENTS")
    for argument, description in command.arguments:
        lines += [".TP", f"\\fI{roff(argument.strip('[]'))}\\fR", roff(description)]
    return finish(lines, extra, ["KEYS", "FILES", "ENVIRONMENT", "SEE ALSO"])


def completion(program, template_path):
    """Fills the template's @COMMANDS@ and @COMMAND_CASES@ from the programs' help texts."""
    top = TopLevelHelp(run_help(program, "--help"))
    cases = []
    for name, _ in top.commands:
        command = CommandHelp(run_help(program, name, "--help"))
        valued = [f"{flag}={value}" for flags, value, _ in command.options if value for flag in flags]
        cases.append(f"    {name})\n"
                     f"        options=\"{' '.join(command.long_options())}\"\n"
                     f"        valued=\"{' '.join(valued)}\"\n"
                     f"        positionals=\"{' '.join(command.positional_names())}\"\n"
                     f"        ;;")
    with open(template_path, encoding="utf-8") as template:
        text = template.read()
    return (text.replace("@COMMANDS@", " ".join(name for name, _ in top.commands))
            .replace("@COMMAND_CASES@", "\n".join(cases)))


def write(path, text):
    data = text.encode("utf-8")
    if path.endswith(".gz"):
        # No name and no time stamp in the gzip header: the same page gives the same bytes.
        with open(path, "wb") as raw, gzip.GzipFile(filename="", mode="wb", fileobj=raw,
                                                    compresslevel=9, mtime=0) as packed:
            packed.write(data)
    else:
        with open(path, "wb") as plain:
            plain.write(data)


def main(argv):
    if len(argv) == 6 and argv[1] in ("ost2eml-man", "desktop-man"):
        build = ost2eml_page if argv[1] == "ost2eml-man" else desktop_page
        write(argv[5], build(argv[2], read_extra(argv[3]), argv[4]))
    elif len(argv) == 5 and argv[1] == "completion":
        write(argv[4], completion(argv[2], argv[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
