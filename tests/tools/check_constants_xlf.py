"""The ctest `constants_xlf`: reads the bundle's constants.xlf with a real XML
parser and holds it to 4D's layout and to src/host/constants.def, which it
reads on its own (a regex over the rows), not through lqm-gen.
   python3 check_constants_xlf.py <bundle>/Contents/Resources/constants.xlf src/host/constants.def"""
import re
import sys
import xml.etree.ElementTree as ET

D4 = "{http://www.4d.com/d4-ns}"
root = ET.parse(sys.argv[1]).getroot()
rows = re.findall(r"^LQM_CONSTANT\(\s*\w+,\s*\"([^\"]+)\",\s*\"([^\"]+)\",\s*(-?\d+),\s*'(\w)'\)",
                  open(sys.argv[2], encoding="utf-8").read(), re.M)
table = {name: (theme, f"{value}:{kind}") for theme, name, value, kind in rows}
errors = [] if root.tag == "xliff" and root.get("version") == "1.0" else ["root is not <xliff version=1.0>"]
groups = list(root.find("file/body"))
units = root.findall(".//trans-unit")
for what, values in (("id", [u.get("id") for u in units]), ("resname", [u.get("resname") for u in units]),
                     ("constant name", [u.findtext("source") for u in units if u.get(D4 + "value")])):
    if len(values) != len(set(values)):
        errors.append(f"repeated {what}")
themes, found = {}, {}
for index, group in enumerate(groups):
    if group.get("resname") == "themes":
        (unit,) = group.findall("trans-unit")
        themes[unit.get("resname")] = unit.findtext("source")
        following = groups[index + 1] if index + 1 < len(groups) else group
        if following.get("restype") != "x-4DK#" or following.get(D4 + "groupName") != unit.get("resname"):
            errors.append(f"theme {unit.findtext('source')!r} is not followed by its x-4DK# group")
    elif group.get("restype") == "x-4DK#" and group.get(D4 + "groupName") in themes and len(group):
        for unit in group.findall("trans-unit"):
            found[unit.findtext("source")] = (themes[group.get(D4 + "groupName")], unit.get(D4 + "value"))
    else:
        errors.append(f"stray or empty group {group.attrib}")
if len(rows) < 30 or found != table:
    errors.append(f"constants differ from the table: {sorted(set(found.items()) ^ set(table.items()))}")
print("\n".join(errors) or f"{len(found)} constants in {len(themes)} themes agree with the table")
sys.exit(1 if errors else 0)
