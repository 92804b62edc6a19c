#!/usr/bin/env python3
"""The Group Policy template writes what Corvale reads.

  policy_template_test.py <installer/policy folder> <corvale source folder>

Checked: Corvale.admx and en-US/Corvale.adml are well-formed XML; every policy writes below the
policy key the settings store reads (its root, or its Devices key for DefaultPrinter); every value
name is one the store reads there, with the type the store writes (text for strings, decimal for
integers, 1/0 for booleans); every machine-wide value has a policy; every string, presentation and
element a policy refers to exists.
"""
import os
import re
import sys
import xml.dom.minidom

NS = "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"
failures = []


def fail(text):
    failures.append(text)


def c_string(literal):
    return literal.replace("\\\\", "\\")


policy_dir, source_dir = sys.argv[1], sys.argv[2]
header = open(os.path.join(source_dir, "settings", "settings_store.h")).read()
store = open(os.path.join(source_dir, "settings", "settings_store.cpp")).read()

policy_key = c_string(re.search(r'kPolicyKey\[\] = "([^"]*)"', header).group(1))
# The types come from SaveSettings: the value names written to the Varnell key and to Devices.
save = store[store.index("void SaveSettings("):]
written = {}
for kind, target, name in re.findall(r'Write(String|Integer|Bool)\(\*(\w+), "(\w+)"', save):
    key = policy_key if target == "varnell" else policy_key + "\\Devices"
    if target in ("varnell", "devices"):
        written[(key.lower(), name)] = kind
# The machine-wide values the store reads from the policy key's root.
reader = store[store.index("void ReadMachineValues("):]
reader = reader[: reader.index("\n}\n")]
read_at_root = set(re.findall(r'in\(key, "(\w+)"', reader))
expected = {(policy_key.lower(), name) for name in read_at_root}
expected.add(((policy_key + "\\Devices").lower(), "DefaultPrinter"))
if not read_at_root:
    fail("no value names found in ReadMachineValues")

docs = {}
for name in ("Corvale.admx", os.path.join("en-US", "Corvale.adml")):
    try:
        docs[name] = xml.dom.minidom.parse(os.path.join(policy_dir, name))
    except Exception as e:  # noqa: BLE001 - any parse error is the finding
        fail("%s is not well-formed: %s" % (name, e))
if failures:
    print("\n".join("FAIL: " + f for f in failures), file=sys.stderr)
    sys.exit(1)
admx, adml = docs["Corvale.admx"], docs[os.path.join("en-US", "Corvale.adml")]

strings = {s.getAttribute("id") for s in adml.getElementsByTagNameNS(NS, "string")}
presentations = {p.getAttribute("id"): p for p in adml.getElementsByTagNameNS(NS, "presentation")}


def check_ref(text, where):
    for kind, ident in re.findall(r"\$\((string|presentation)\.(\w+)\)", text):
        if kind == "string" and ident not in strings:
            fail("%s: no string %s in the ADML" % (where, ident))
        if kind == "presentation" and ident not in presentations:
            fail("%s: no presentation %s in the ADML" % (where, ident))


for node in admx.getElementsByTagNameNS(NS, "*"):
    for attr in ("displayName", "explainText", "presentation"):
        check_ref(node.getAttribute(attr), node.getAttribute("name") or node.localName)

covered = set()
for policy in admx.getElementsByTagNameNS(NS, "policy"):
    name = policy.getAttribute("name")
    if policy.getAttribute("class") != "Machine":
        fail("%s: not a computer policy" % name)
    policy_key_attr = policy.getAttribute("key")
    values = []  # (key, value name, kind the template writes)
    if policy.getAttribute("valueName"):
        enabled = policy.getElementsByTagNameNS(NS, "enabledValue")
        disabled = policy.getElementsByTagNameNS(NS, "disabledValue")
        pair = [
            (v[0].getElementsByTagNameNS(NS, "decimal") or [None])[0] if v else None
            for v in (enabled, disabled)
        ]
        if None in pair or [d.getAttribute("value") for d in pair] != ["1", "0"]:
            fail("%s: a boolean is written as the decimal 1 when enabled, 0 when disabled" % name)
        values.append((policy_key_attr, policy.getAttribute("valueName"), "Bool"))
    presentation_id = re.findall(r"\$\(presentation\.(\w+)\)", policy.getAttribute("presentation"))
    refs = set()
    if presentation_id and presentation_id[0] in presentations:
        for child in presentations[presentation_id[0]].childNodes:
            if child.nodeType == child.ELEMENT_NODE:
                refs.add(child.getAttribute("refId"))
    for elements in policy.getElementsByTagNameNS(NS, "elements"):
        for element in elements.childNodes:
            if element.nodeType != element.ELEMENT_NODE:
                continue
            kind = {"text": "String", "decimal": "Integer"}.get(element.localName)
            if kind is None:
                fail("%s: element %s is not a text or a decimal" % (name, element.localName))
                continue
            if element.getAttribute("id") not in refs:
                fail("%s: element %s has no box in its presentation" % (name, element.getAttribute("id")))
            refs.discard(element.getAttribute("id"))
            values.append((element.getAttribute("key") or policy_key_attr,
                           element.getAttribute("valueName"), kind))
    for ref in refs:
        fail("%s: presentation box %s has no element" % (name, ref))
    if not values:
        fail("%s: writes no value" % name)
    for key, value_name, kind in values:
        place = (key.lower(), value_name)
        if place not in expected:
            fail("%s: %s\\%s is not read by Corvale" % (name, key, value_name))
            continue
        if written.get(place) != kind:
            fail("%s: %s is written as %s, Corvale keeps it as %s"
                 % (name, value_name, kind, written.get(place)))
        if place in covered:
            fail("%s: %s is set by two policies" % (name, value_name))
        covered.add(place)

for key, value_name in sorted(expected - covered):
    fail("no policy sets %s\\%s" % (key, value_name))

if failures:
    print("\n".join("FAIL: " + f for f in failures), file=sys.stderr)
    sys.exit(1)
print("%d values in %d policies match what Corvale reads"
      % (len(covered), len(admx.getElementsByTagNameNS(NS, "policy"))))
