#!/usr/bin/env python3
"""Checks the tables of a Windows Installer package of lumivorra.scr, read with msitools: the program
and its version, a per-machine install into the system folder where the screen-saver list looks for
the package's width, the file in the package byte for byte, the optional current-saver value, the
upgrade rows and the entry in the installed programs. Run on every build of a package, since the 32-bit
one cannot be installed here.

    MsiTables.py --arch x64|x86 --version X.Y.Z --scr lumivorra.scr [--file-version A.B.C.D] PACKAGE.msi
"""
import argparse
import math
import os
import subprocess
import sys
import tempfile

UPGRADE_CODE = "{1F6489BB-8283-418E-9607-F38A7FC8B2DF}"
COMPONENT_64BIT, COMPONENT_REGISTRY_KEY_PATH = 256, 4
UPGRADE_MIGRATE_FEATURES, UPGRADE_ONLY_DETECT, UPGRADE_MAX_INCLUSIVE = 1, 2, 512
HKCU = 1


def table(msiinfo, package, name):
    """The rows of a table as dicts of column name to text."""
    out = subprocess.run([msiinfo, "export", package, name], check=True, capture_output=True, text=True).stdout
    lines = out.split("\n")
    columns = lines[0].rstrip("\r").split("\t")
    return [dict(zip(columns, line.rstrip("\r").split("\t"))) for line in lines[3:] if line]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", choices=["x64", "x86"], required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--scr", required=True)
    parser.add_argument("--file-version", help="the version resource's of SCR (a.b.c.d); the package's by default")
    parser.add_argument("--msiinfo", default="msiinfo")
    parser.add_argument("--msiextract", default="msiextract")
    parser.add_argument("package")
    args = parser.parse_args()
    problems = []

    def check(condition, message):
        if not condition:
            problems.append(message)

    def rows(name):
        return table(args.msiinfo, args.package, name)

    suminfo = subprocess.run([args.msiinfo, "suminfo", args.package], check=True, capture_output=True,
                             text=True).stdout
    template = {"x64": "x64;1033", "x86": "Intel;1033"}[args.arch]
    check(f"Template: {template}\n" in suminfo, f"the package's platform is not {template}: {suminfo}")
    # Windows Installer 2.0 is the first that installs 64-bit components.
    check("Version: 200 " in suminfo, f"not for Windows Installer 2.0: {suminfo}")

    properties = {row["Property"]: row["Value"] for row in rows("Property")}
    size_kb = math.ceil(os.path.getsize(args.scr) / 1024)
    wanted = {"ProductName": "Lumivorra" if args.arch == "x64" else "Lumivorra (32-bit)",
              "ProductVersion": args.version, "Manufacturer": "quillo", "UpgradeCode": UPGRADE_CODE, "ALLUSERS": "1",
              "ARPSIZE": str(size_kb), "ARPNOMODIFY": "1"}
    for name, value in wanted.items():
        check(properties.get(name) == value, f"property {name} is {properties.get(name)!r}, not {value!r}")
    check("SETACTIVE" not in properties, "SETACTIVE has a default: the package must not choose the saver unasked")

    # The screen-saver list looks in System32: for a 64-bit component that is System64Folder; a 32-bit one
    # in SystemFolder lands in System32 on 32-bit Windows and in SysWOW64 under WoW64.
    folder = {"x64": "System64Folder", "x86": "SystemFolder"}[args.arch]
    directories = {row["Directory"]: row for row in rows("Directory")}
    check(directories.get(folder, {}).get("Directory_Parent") == "TARGETDIR", f"no {folder} under TARGETDIR")
    components = {row["Component"]: row for row in rows("Component")}
    check(sorted(components) == ["Saver", "SetActive"], f"components {sorted(components)}")
    bits = COMPONENT_64BIT if args.arch == "x64" else 0
    saver = components.get("Saver", {})
    check(saver.get("Directory_") == folder and saver.get("Attributes") == str(bits) and
          saver.get("KeyPath") == "lumivorra.scr" and saver.get("Condition") == "", f"Saver component {saver}")
    active = components.get("SetActive", {})
    check(active.get("Attributes") == str(bits | COMPONENT_REGISTRY_KEY_PATH) and
          active.get("Condition") == 'SETACTIVE=1 OR REMOVE="ALL"', f"SetActive component {active}")
    check(all(row["ComponentId"] for row in components.values()), "a component without a code")

    files = rows("File")
    check(len(files) == 1 and files[0]["File"] == "lumivorra.scr" and files[0]["FileName"] == "lumivorra.scr" and
          files[0]["Component_"] == "Saver" and files[0]["FileSize"] == str(os.path.getsize(args.scr)) and
          files[0]["Version"] == (args.file_version or f"{args.version}.0"),
          f"files {files}")
    registry = rows("Registry")
    check(len(registry) == 1 and registry[0]["Root"] == str(HKCU) and registry[0]["Key"] == "Control Panel\\Desktop"
          and registry[0]["Name"] == "SCRNSAVE.EXE" and registry[0]["Value"] == "[#lumivorra.scr]" and
          registry[0]["Component_"] == "SetActive", f"registry {registry}")
    # Nothing of the user's settings key, which uninstalling must leave alone.
    check(not any("quillo" in row["Key"] for row in registry), "the package writes under the settings key")

    upgrades = sorted((row["ActionProperty"], row["VersionMin"], row["VersionMax"], row["Attributes"])
                      for row in rows("Upgrade") if row["UpgradeCode"] == UPGRADE_CODE)
    wanted_upgrades = [("WIX_DOWNGRADE_DETECTED", args.version, "", str(UPGRADE_ONLY_DETECT)),
                       ("WIX_UPGRADE_DETECTED", "", args.version, str(UPGRADE_MIGRATE_FEATURES | UPGRADE_MAX_INCLUSIVE))]
    check(upgrades == wanted_upgrades, f"upgrade rows {upgrades}")
    sequence = {row["Action"]: int(row["Sequence"]) for row in rows("InstallExecuteSequence")}
    check("FindRelatedProducts" in sequence and "RemoveExistingProducts" in sequence and
          sequence["RemoveExistingProducts"] < sequence.get("InstallFiles", 0), f"no major upgrade in {sequence}")
    conditions = [row["Condition"] for row in rows("LaunchCondition")]
    check(conditions == ["NOT WIX_DOWNGRADE_DETECTED"], f"launch conditions {conditions}")

    with tempfile.TemporaryDirectory(prefix="lv-msi-") as folder_out:
        subprocess.run([args.msiextract, "-C", folder_out, args.package], check=True, capture_output=True)
        found = [os.path.join(root, name) for root, _, names in os.walk(folder_out) for name in names]
        check(len(found) == 1 and os.path.basename(found[0]) == "lumivorra.scr", f"the package holds {found}")
        if found:
            with open(found[0], "rb") as packed, open(args.scr, "rb") as built:
                check(packed.read() == built.read(), "the packed lumivorra.scr differs from the build's")

    for problem in problems:
        print(f"MsiTables: {args.package}: {problem}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
