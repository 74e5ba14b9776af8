#!/usr/bin/env python3
"""Checks finished PDFs with qpdf and poppler: encryption, permissions, passwords, metadata, pages,
text, and the stamp drawn before each page's own content. One line per failed check and PDF; exit 1 if any."""
import argparse
import json
import re
import subprocess
import sys


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, errors="replace")


p = argparse.ArgumentParser()
p.add_argument("pdf", nargs="+", help="one or more PDFs, each checked the same way")
p.add_argument("--password", default="", help="the user password")
p.add_argument("--owner", help="the owner password, which must open the file as its owner")
p.add_argument("--encrypted", choices=["yes", "no"])
p.add_argument("--revision", help="the security handler's revision (2: RC4-40, 4: AES-128, 6: AES-256)")
p.add_argument("--print", dest="print_", choices=["allowed", "withheld"])
p.add_argument("--extract", choices=["allowed", "withheld"])
p.add_argument("--metadata", help="expected /Creator and /Producer")
p.add_argument("--pages", type=int)
p.add_argument("--text", action="append", default=[], help="text that must be on the pages")
p.add_argument("--stamp", action="store_true", help="the stamp is drawn first on every page")
a = p.parse_args()
pw = f"--password={a.password}"


def check(pdf):
    failures = []
    checked = run("qpdf", pw, "--check", pdf)
    if checked.returncode not in (0, 3):
        failures.append(f"qpdf --check failed: {checked.stderr.strip() or checked.stdout.strip()}")
    enc = run("qpdf", pw, "--show-encryption", pdf).stdout
    if a.encrypted and (a.encrypted == "no") != ("File is not encrypted" in enc):
        failures.append(f"expected encrypted: {a.encrypted}")
    if a.encrypted == "yes":
        opens_without = run("qpdf", "--show-npages", pdf).returncode == 0
        if opens_without != (a.password == ""):
            failures.append("opens without a password" if opens_without else "does not open without a password")
        if "Supplied password is owner password" in enc:
            failures.append("the user password makes every reader the owner")
        if a.owner and "Supplied password is owner password" not in run("qpdf", f"--password={a.owner}", "--show-encryption", pdf).stdout:
            failures.append("the owner password does not open it as owner")
        wanted = [("R", a.revision), ("print high resolution", a.print_), ("extract for any purpose", a.extract)]
        for line, want in wanted:
            m = re.search(rf"^{line} ?[:=] (.*)$", enc, re.M)
            got = m.group(1) if m else None
            if want and got != {"allowed": "allowed", "withheld": "not allowed"}.get(want, want):
                failures.append(f"{line}: expected {want}, qpdf says {got}")

    info = run("pdfinfo", "-upw", a.password, pdf).stdout
    for key in ("Creator", "Producer") if a.metadata else ():
        m = re.search(rf"^{key}:\s*(.*)$", info, re.M)
        if not m or m.group(1).strip() != a.metadata:
            failures.append(f"/{key}: expected {a.metadata!r}, got {m.group(1).strip() if m else None!r}")

    pages = json.loads(run("qpdf", pw, "--json=2", "--json-key=pages", pdf).stdout or "{}").get("pages", [])
    if a.pages is not None and len(pages) != a.pages:
        failures.append(f"pages: expected {a.pages}, got {len(pages)}")
    for number, page in enumerate(pages if a.stamp else [], 1):
        first = page.get("contents", ["0"])[0].split()[0]
        content = subprocess.run(["qpdf", pw, f"--show-object={first}", "--filtered-stream-data", pdf], capture_output=True).stdout
        if not re.fullmatch(rb"\s*q\s.*/Fx\d+\s+Do\s+Q\s*", content, re.S):
            failures.append(f"page {number}: the first content stream does not just draw the stamp: {content[:80]!r}")

    text = run("pdftotext", "-upw", a.password, pdf, "-").stdout
    failures += [f"text {wanted!r} not found" for wanted in a.text if wanted not in text]
    return failures


failed = False
for pdf in a.pdf:
    failures = check(pdf)
    print("".join(f"{pdf}: {f}\n" for f in failures), end="")
    failed = failed or bool(failures)
sys.exit(1 if failed else 0)
