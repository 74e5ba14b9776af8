#!/usr/bin/env python3
"""Checks a finished Folvarek PDF with qpdf and poppler: encryption, permissions, metadata, the
stamp under every page and the document's text. Prints one line per failed check; exit 1 if any."""
import argparse
import json
import re
import subprocess
import sys


def run(*args):
    return subprocess.run(args, capture_output=True, text=True)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("pdf")
    p.add_argument("--password", default="", help="the user password typed in the job")
    p.add_argument("--encrypted", choices=["yes", "no"])
    p.add_argument("--print", dest="print_", choices=["allowed", "withheld"])
    p.add_argument("--extract", choices=["allowed", "withheld"])
    p.add_argument("--metadata", help="expected /Creator and /Producer")
    p.add_argument("--pages", type=int)
    p.add_argument("--text", action="append", default=[], help="text that must be on the pages")
    p.add_argument("--stamp", action="store_true", help="the stamp is drawn first on every page")
    a = p.parse_args()
    failures = []
    pw = f"--password={a.password}"

    check = run("qpdf", pw, "--check", a.pdf)
    if check.returncode not in (0, 3):
        failures.append(f"qpdf --check failed: {check.stderr.strip() or check.stdout.strip()}")

    enc = run("qpdf", pw, "--show-encryption", a.pdf).stdout
    if a.encrypted == "no" and "File is not encrypted" not in enc:
        failures.append("expected no encryption")
    if a.encrypted == "yes":
        if "File is not encrypted" in enc:
            failures.append("expected encryption")
        if a.password:
            if run("qpdf", "--show-npages", a.pdf).returncode == 0:
                failures.append("opens without the password")
            if run("qpdf", "--password=wrong-" + a.password, "--show-npages", a.pdf).returncode == 0:
                failures.append("opens with a wrong password")
        elif run("qpdf", "--show-npages", a.pdf).returncode != 0:
            failures.append("does not open without a password")
        for name, want, line in (("print", a.print_, "print high resolution"),
                                 ("extract", a.extract, "extract for any purpose")):
            if want:
                m = re.search(rf"^{line}: (allowed|not allowed)$", enc, re.M)
                got = None if not m else ("allowed" if m.group(1) == "allowed" else "withheld")
                if got != want:
                    failures.append(f"{name}: expected {want}, qpdf says {m.group(0) if m else 'nothing'}")

    info = run("pdfinfo", "-upw", a.password, a.pdf).stdout
    if a.metadata:
        for key in ("Creator", "Producer"):
            m = re.search(rf"^{key}:\s*(.*)$", info, re.M)
            if not m or m.group(1).strip() != a.metadata:
                failures.append(f"/{key}: expected {a.metadata!r}, got {m.group(1).strip() if m else None!r}")

    pages = json.loads(run("qpdf", pw, "--json=2", "--json-key=pages", a.pdf).stdout or "{}").get("pages", [])
    if a.pages is not None and len(pages) != a.pages:
        failures.append(f"pages: expected {a.pages}, got {len(pages)}")
    if a.stamp:
        for number, page in enumerate(pages, 1):
            content = b""
            for ref in page.get("contents", []):
                obj = ref.split()[0]
                content += subprocess.run(["qpdf", pw, f"--show-object={obj}", "--filtered-stream-data", a.pdf],
                                          capture_output=True).stdout + b"\n"
            first_do, first_bt = content.find(b" Do"), content.find(b"BT")
            if first_do < 0 or (0 <= first_bt < first_do):
                failures.append(f"page {number}: the stamp is not drawn before the page's own content")

    text = run("pdftotext", "-upw", a.password, a.pdf, "-").stdout
    for wanted in a.text:
        if wanted not in text:
            failures.append(f"text {wanted!r} not found")

    for f in failures:
        print(f"{a.pdf}: {f}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
