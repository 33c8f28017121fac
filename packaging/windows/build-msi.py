#!/usr/bin/env python3
"""Builds the Windows Installer package of lumivorra.scr with wixl from lumivorra.wxs (and msibuild for
the fields wixl cannot write).

    build-msi.py --arch x64|x86 --version X.Y.Z --scr PATH --out PACKAGE.msi

The product code follows from the width and the version, and the component codes from the width, so
that the same sources always make the same package tables and every release has a product code of its
own (which a major upgrade needs).
"""
import argparse
import math
import os
import struct
import subprocess
import sys
import uuid

UPGRADE_CODE = uuid.UUID("1F6489BB-8283-418E-9607-F38A7FC8B2DF")


def code(name):
    return str(uuid.uuid5(UPGRADE_CODE, name)).upper()


def file_version(path):
    """The file version of a program's version resource (its VS_FIXEDFILEINFO), as a.b.c.d."""
    with open(path, "rb") as f:
        data = f.read()
    key = data.find("VS_VERSION_INFO\0".encode("utf-16-le"))
    at = data.find(struct.pack("<I", 0xFEEF04BD), key, key + 40) if key >= 0 else -1
    if at < 0:
        sys.exit(f"build-msi: {path} has no version resource")
    high, low = struct.unpack_from("<II", data, at + 8)
    return f"{high >> 16}.{high & 0xFFFF}.{low >> 16}.{low & 0xFFFF}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", choices=["x64", "x86"], required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--scr", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--wixl", default="wixl")
    parser.add_argument("--msibuild", default="msibuild")
    args = parser.parse_args()
    parts = args.version.split(".")
    # Windows Installer compares major (0-255), minor (0-255) and build (0-65535).
    if len(parts) != 3 or not all(p.isdigit() for p in parts) or int(parts[0]) > 255 or int(parts[1]) > 255 \
            or int(parts[2]) > 65535:
        sys.exit(f"build-msi: {args.version} is not a package version (X.Y.Z)")
    size_kb = math.ceil(os.path.getsize(args.scr) / 1024)
    defines = {"Arch": args.arch, "Version": args.version, "Scr": os.path.basename(args.scr), "SizeKb": size_kb,
               "ProductCode": code(f"product {args.arch} {args.version}"),
               "SaverGuid": code(f"component Saver {args.arch}"),
               "SetActiveGuid": code(f"component SetActive {args.arch}")}
    # wixl finds the file only relative to the folder it runs in.
    command = [args.wixl, "-a", args.arch, "-o", os.path.abspath(args.out)]
    for name, value in defines.items():
        command += ["-D", f"{name}={value}"]
    command.append(os.path.join(os.path.dirname(os.path.abspath(__file__)), "lumivorra.wxs"))
    if subprocess.run(command, cwd=os.path.dirname(os.path.abspath(args.scr))).returncode != 0:
        return 1
    # What wixl cannot write from the source: the file's version, the condition of the optional component,
    # and an upgrade that also takes the same version (of the other width), so there is never a second entry.
    upgrade = "{" + str(UPGRADE_CODE).upper() + "}"
    # The file's own version, so that Windows Installer's file version rules apply to it.
    queries = [f"UPDATE `File` SET `Version` = '{file_version(args.scr)}' WHERE `File` = 'lumivorra.scr'",
               # The condition holds on removal too: Wine leaves a component alone whose condition is false.
               "UPDATE `Component` SET `Condition` = 'SETACTIVE=1 OR REMOVE=\"ALL\"' WHERE `Component` = 'SetActive'",
               # The attributes are part of the row's key: the row is written anew, with the version maximum
               # inclusive (512) besides the feature migration (1).
               "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'",
               "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) "
               f"VALUES ('{upgrade}', '{args.version}', 513, 'WIX_UPGRADE_DETECTED')"]
    command = [args.msibuild, args.out]
    for query in queries:
        command += ["-q", query]
    return subprocess.run(command).returncode


if __name__ == "__main__":
    sys.exit(main())
