#!/usr/bin/env python3
"""Runs the teacher's guide as a teacher would: in DIR, in the guide's order, writes every example
file (<pre class="file" data-file="PATH">, CR LF lines, UTF-8 or data-encoding) and runs every
command (<pre class="cmd">) through LAUNCHER... (e.g. wine64 cmd /c), the command line given as one
argument. A command fails when it exits non-zero or its JSON answer lists errors or warnings: an
example in the guide should be clean. Also checks that the guide is one self-contained file.

    guide.py GUIDE DIR LAUNCHER...
"""
import html.parser
import json
import os
import subprocess
import sys
import tempfile


class Guide(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.steps = []  # ("cmd", text) or ("file", path, encoding, text)
        self.problems = []
        self.ids = set()
        self.links = []
        self._open = None  # the step being read, and its text so far

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if "id" in a:
            self.ids.add(a["id"])
        if tag in ("img", "script", "link", "iframe", "object", "embed") or "src" in a:
            self.problems.append(f"<{tag}> loads something from outside the file")
        if "href" in a:
            if a["href"].startswith("#"):
                self.links.append(a["href"][1:])
            else:
                self.problems.append(f"a link out of the file: {a['href']}")
        if tag == "pre":
            classes = (a.get("class") or "").split()
            if "cmd" in classes:
                self._open = ["cmd", []]
            elif "file" in classes:
                if not a.get("data-file"):
                    self.problems.append('a <pre class="file"> without data-file')
                self._open = ["file", a.get("data-file") or "", a.get("data-encoding") or "utf-8", []]
        elif self._open is not None:
            self.problems.append(f"<{tag}> inside an example: the example would not read as written")

    def handle_data(self, data):
        if self._open is not None:
            self._open[-1].append(data)

    def handle_endtag(self, tag):
        if tag == "pre" and self._open is not None:
            self._open[-1] = "".join(self._open[-1])
            self.steps.append(tuple(self._open))
            self._open = None


def run_command(command, folder, launcher):
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        # Output through files, not pipes: Wine's helper processes would hold a pipe open.
        rc = subprocess.call(launcher + [command], cwd=folder, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        out.seek(0)
        err.seek(0)
        return rc, out.read().decode("utf-8", "replace").replace("\r", ""), err.read().decode("utf-8", "replace")


def main():
    guide_path, folder, launcher = sys.argv[1], sys.argv[2], sys.argv[3:]
    guide = Guide()
    with open(guide_path, encoding="utf-8") as f:
        guide.feed(f.read())
    failures = list(guide.problems)
    failures += [f"a link to #{name}, which is not in the guide" for name in guide.links if name not in guide.ids]
    commands = 0
    for step in guide.steps:
        if step[0] == "file":
            _, path, encoding, text = step
            target = os.path.join(folder, *path.split("\\"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as f:
                f.write(text.replace("\r\n", "\n").replace("\n", "\r\n").encode(encoding))
            print(f"file {path}")
            continue
        command = step[1].strip()
        commands += 1
        if "\n" in command:
            failures.append(f"a command block holds more than one line: {command!r}")
            continue
        rc, out, err = run_command(command, folder, launcher)
        print(f"> {command}  (exit {rc})")
        problem = f"exit code {rc}" if rc != 0 else ""
        try:
            answer = json.loads(out)
        except ValueError:
            answer = None
        if not problem and isinstance(answer, dict):
            unclean = [key for key in ("errors", "warnings") if answer.get(key)]
            if unclean:
                problem = "its answer lists " + " and ".join(unclean)
        if problem:
            failures.append(f"the guide's command `{command}`: {problem}\n{out}{err}")
    if commands == 0:
        failures.append("the guide holds no commands: are they still in <pre class=\"cmd\">?")
    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    print(f"{commands} commands of the guide run")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
