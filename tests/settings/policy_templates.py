#!/usr/bin/env python3
"""policy_templates.py TABLE ADMX ADML: the Group Policy templates well-formed, one machine policy per
setting of TABLE (as ExportSettingsTable writes it) and none other, each writing its setting's value
under Software\\Policies\\Folvarek as the setting's kind stores it."""
import subprocess
import sys
import xml.etree.ElementTree as ET

table, admx, adml = sys.argv[1:4]
subprocess.run(["xmllint", "--noout", admx, adml], check=True)
NS = "{http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions}"
with open(table, encoding="utf-8") as lines:  # key, value key, kind, on, off, a new install's text, policy
    settings = {f[6]: (f[2], f[3:5]) for f in (line.rstrip("\n").split("\t") for line in lines)}
policies = ET.parse(admx).getroot().findall(f"{NS}policies/{NS}policy")
failures = []
for policy in policies:
    name, elements = policy.get("name"), policy.findall(f"{NS}elements/*")
    kind, values = settings.get(name, ("no setting", []))
    found = (policy.get("class"), policy.get("key"), policy.get("valueName"),
             [policy.findtext(f"{NS}{state}/{NS}string") for state in ("enabledValue", "disabledValue")],
             [(e.tag[len(NS):], e.get("valueName"), [i.findtext(f"{NS}value/{NS}string") for i in e]) for e in elements])
    machine = ("Machine", r"Software\Policies\Folvarek")
    expected = {  # a flag switches between its two texts; a number offers them (the first as the default)
        "flag": (*machine, name, values, []),
        "folder": (*machine, None, [None, None], [("text", name, [])]),
        "text": (*machine, None, [None, None], [("text", name, [])]),
        "number": (*machine, None, [None, None], [("enum", name, values)]),
    }.get(kind)
    if found != expected:
        failures.append(f"{name} ({kind} {values}): {found}")
if sorted(p.get("name") for p in policies) != sorted(settings):
    failures.append(f"policies {[p.get('name') for p in policies]}, settings {list(settings)}")
sys.exit("\n".join(failures) or None)
