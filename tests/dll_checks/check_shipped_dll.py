#!/usr/bin/env python3
"""Checks of the shipped 32-bit DLL, read with objdump: what running it under Wine cannot show (a
Windows loader is stricter about the file, and Wine accepts imports a stock Windows may lack) is
checked in the file itself: its file format, export table, imports, calling convention and
version resource, and for the DLL of the release package that it is stripped."""

import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

MODULE_NAME = "Mirelskan Plugin.dll"

# Exported name, ordinal, bytes of arguments the function removes from the stack on return.
EXPORTS = [
    ("Configure", 1, 0),
    ("_DisplayToast@16", 2, 16),
    ("_DisplayToastW@16", 3, 16),
    ("Initialize", 4, 12),
    ("ParseCommand", 5, 16),
    ("ParseTag", 6, 12),
    ("PublishInfo", 7, 12),
    ("ReceiveNotify", 8, 16),
    ("Uninitialize", 9, 0),
]

# The C runtime is msvcrt.dll, which every Windows carries; libgcc, libstdc++ and winpthread are
# linked in statically.
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "wininet.dll", "msvcrt.dll"}
REQUIRED_DLLS = {"kernel32.dll", "user32.dll", "wininet.dll"}
# The only functions the plug-in may take from these two.
ALLOWED_FUNCTIONS = {
    "wininet.dll": {
        "InternetOpenA", "InternetConnectA", "InternetAttemptConnect", "HttpOpenRequestA",
        "HttpAddRequestHeadersA", "InternetSetCookieA", "HttpSendRequestA", "HttpSendRequestExA",
        "InternetWriteFile", "HttpEndRequestA", "InternetReadFile", "InternetCloseHandle",
    },
    "user32.dll": {"RegisterWindowMessageA", "SendMessageA", "MessageBoxA", "GetActiveWindow"},
}
# A function's own code is searched this far for its return.
FUNCTION_SEARCH_BYTES = 0x400

RT_VERSION = 16
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD
# The strings a file's properties show; the versions come from --version.
VERSION_STRINGS = {
    "ProductName": "Mirelskan Plugin",
    "OriginalFilename": MODULE_NAME,
}
# What the release package holds beside the DLL, under its top folder.
PACKAGE_FILES = {MODULE_NAME, "README.txt", "LICENSE.txt"}


def objdump(args, *options):
    return subprocess.run([args.objdump, *options, args.dll], check=True, stdout=subprocess.PIPE,
                          universal_newlines=True).stdout


def export_table(headers):
    """(module name, {name: (ordinal, rva)}) from the export table objdump prints."""
    module = re.search(r"^Name\s+[0-9a-fA-F]+\s+(.+?)\s*$", headers, re.M)
    base = int(re.search(r"^Ordinal Base\s+(\d+)", headers, re.M).group(1))
    addresses = {}
    table = headers.split("Export Address Table -- Ordinal Base", 1)[1]
    for match in re.finditer(r"^\s*\[\s*(\d+)\] \+base\[\s*(\d+)\]\s+([0-9a-fA-F]+) Export RVA",
                             table, re.M):
        addresses[int(match.group(2))] = int(match.group(3), 16)
    names = {}
    table = headers.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
    for match in re.finditer(r"^\s*\[\s*(\d+)\]\s+(?:\+base\[\s*(\d+)\]\s+)?(\S+)\s*$", table, re.M):
        # Older objdump prints the index into the address table, newer ones the ordinal too.
        ordinal = int(match.group(2)) if match.group(2) else int(match.group(1)) + base
        names[match.group(3)] = (ordinal, addresses.get(ordinal))
    return module.group(1) if module else None, names, len(addresses)


def import_table(headers):
    """{dll name lower-case: [function names]}."""
    imports = {}
    section = headers.split("The Import Tables", 1)[1].split("The Export Tables", 1)[0]
    current = None
    for line in section.splitlines():
        dll = re.match(r"\s*DLL Name: (\S+)", line)
        if dll:
            current = imports.setdefault(dll.group(1).lower(), [])
            continue
        # "\t<vma>\t<hint> <name>"; the directory rows between the DLLs start with a space.
        member = re.match(r"\t[0-9a-fA-F]+\t\s*\d+\s+(\S+)\s*$", line)
        if member and current is not None:
            current.append(member.group(1))
    return imports


def check_format(args, headers, failures):
    match = re.search(r"file format (\S+)", headers)
    if not match or match.group(1) != "pei-i386":
        failures.append("file format is %s, not pei-i386" % (match and match.group(1)))
    if not re.search(r"^Characteristics .*\n(?:\t.*\n)*\tDLL$", headers, re.M):
        failures.append("the file is not marked as a DLL")


def check_exports(args, headers, failures):
    module, names, address_count = export_table(headers)
    if module != MODULE_NAME:
        failures.append("module name %r, not %r" % (module, MODULE_NAME))
    want = {name: ordinal for name, ordinal, _ in EXPORTS}
    got = {name: ordinal for name, (ordinal, _) in names.items()}
    if got != want:
        failures.append("exports %s, not %s" % (sorted(got.items()), sorted(want.items())))
    if address_count != len(EXPORTS):
        failures.append("%d entries in the export address table, not %d" % (
            address_count, len(EXPORTS)))


def check_imports(args, headers, failures):
    imports = import_table(headers)
    for dll in sorted(set(imports) - ALLOWED_DLLS):
        failures.append("imports from %s" % dll)
    for dll in sorted(REQUIRED_DLLS - set(imports)):
        failures.append("imports nothing from %s" % dll)
    for dll, allowed in sorted(ALLOWED_FUNCTIONS.items()):
        for function in sorted(set(imports.get(dll, [])) - allowed):
            failures.append("imports %s from %s" % (function, dll))


def check_stdcall(args, headers, failures):
    """Each export returns with "ret N", N the bytes of its arguments: the callee cleans up."""
    image_base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    _, names, _ = export_table(headers)
    for name, _, argument_bytes in EXPORTS:
        rva = names.get(name, (None, None))[1]
        if rva is None:
            failures.append("%s: no address" % name)
            continue
        start = image_base + rva
        code = objdump(args, "-d", "--start-address=0x%x" % start,
                       "--stop-address=0x%x" % (start + FUNCTION_SEARCH_BYTES))
        # The first return after the entry is the function's own: an export that only jumped
        # on would be a tail call, which a callee-cleans-up function cannot make into another
        # convention.
        ret = re.search(r"\t(?:rep[nz]* )?ret\s*(?:\$0x([0-9a-f]+))?\s*$", code, re.M)
        popped = int(ret.group(1) or "0", 16) if ret else None
        if popped != argument_bytes:
            failures.append("%s returns removing %s bytes of arguments, not %d" % (
                name, popped, argument_bytes))


def resource_section(args, headers):
    """(bytes, rva) of the .rsrc section, or None."""
    image_base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", headers, re.M).group(1), 16)
    sections = objdump(args, "-h")
    found = re.search(r"^\s*\d+ \.rsrc\s+([0-9a-f]+)\s+([0-9a-f]+)\s+[0-9a-f]+\s+([0-9a-f]+)",
                      sections, re.M)
    if not found:
        return None
    size, vma, offset = (int(found.group(i), 16) for i in (1, 2, 3))
    with open(args.dll, "rb") as dll:
        dll.seek(offset)
        return dll.read(size), vma - image_base


def version_resource(section, rva):
    """The bytes of the first RT_VERSION resource: type, name and language directory levels."""
    offset = 0
    for level in range(3):
        named, numbered = struct.unpack_from("<HH", section, offset + 12)
        entries = [struct.unpack_from("<II", section, offset + 16 + 8 * i)
                   for i in range(named + numbered)]
        if level == 0:
            entries = [e for e in entries if e[0] == RT_VERSION]
        if not entries:
            return None
        offset = entries[0][1] & 0x7FFFFFFF
        if level < 2 and not entries[0][1] & 0x80000000:
            return None
    data_rva, size = struct.unpack_from("<II", section, offset)
    return section[data_rva - rva:data_rva - rva + size]


def version_block(data, offset):
    """(key, value bytes, children, end) of one VS_VERSIONINFO block: length, value length,
    type (1: text, its length in 16-bit units), key, value and children, each 4-byte aligned."""
    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    if length < 6:
        raise ValueError("version block at %d has length %d" % (offset, length))
    end = offset + length
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
        if key_end >= end:
            raise ValueError("version block at %d has no key" % offset)
    key = data[offset + 6:key_end].decode("utf-16-le")
    start = (key_end + 2 + 3) & ~3
    value = data[start:start + value_length * (2 if kind == 1 else 1)]
    children, child = [], (start + len(value) + 3) & ~3
    while child < end:
        children.append(version_block(data, child))
        child = (children[-1][3] + 3) & ~3
    return key, value, children, end


def check_version(args, headers, failures):
    found = resource_section(args, headers)
    data = found and version_resource(*found)
    if not data:
        failures.append("no version resource")
        return
    key, fixed, children, _ = version_block(data, 0)
    numbers = [int(n) for n in args.version.split(".")] + [0]
    want = ((numbers[0] << 16) | numbers[1], (numbers[2] << 16) | numbers[3])
    if key != "VS_VERSION_INFO" or len(fixed) < 52:
        failures.append("version resource %r has no fixed file information" % key)
    else:
        signature, _, *versions = struct.unpack_from("<6I", fixed)
        if signature != FIXED_FILE_INFO_SIGNATURE:
            failures.append("fixed file information signature 0x%08x" % signature)
        if (versions[0], versions[1]) != want or (versions[2], versions[3]) != want:
            failures.append("fixed file and product versions %s, not %s" % (versions, want * 2))
    strings = {}
    for child_key, _, tables, _ in children:
        if child_key == "StringFileInfo":
            for _, _, entries, _ in tables:
                for name, text, _, _ in entries:
                    strings[name] = text.decode("utf-16-le").rstrip("\0")
    want_strings = dict(VERSION_STRINGS, FileVersion=args.version, ProductVersion=args.version)
    for name, text in sorted(want_strings.items()):
        if strings.get(name) != text:
            failures.append("version string %s is %r, not %r" % (name, strings.get(name), text))
    if not strings.get("FileDescription"):
        failures.append("no FileDescription")


def check_stripped(args, headers, failures):
    debug = re.findall(r"^\s*\d+ (\.debug\S*)", objdump(args, "-h"), re.M)
    if debug:
        failures.append("debug sections %s" % ", ".join(debug))
    if "no symbols" not in objdump(args, "-t"):
        failures.append("a symbol table")


CHECKS = {"format": check_format, "exports": check_exports, "imports": check_imports,
          "stdcall": check_stdcall, "version": check_version, "stripped": check_stripped}


def unpack_package(package, folder, failures):
    """The path of the package's DLL unpacked into folder, or None."""
    top = os.path.splitext(os.path.basename(package))[0]
    with zipfile.ZipFile(package) as archive:
        names = {name for name in archive.namelist() if not name.endswith("/")}
        want = {top + "/" + name for name in PACKAGE_FILES}
        if names != want:
            failures.append("package holds %s, not %s" % (sorted(names), sorted(want)))
        if top + "/" + MODULE_NAME not in names:
            return None
        return archive.extract(top + "/" + MODULE_NAME, folder)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--objdump", default="objdump")
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--dll")
    source.add_argument("--package", help="the release zip: its files and its DLL are checked")
    parser.add_argument("--version", help="the version the version resource must carry")
    parser.add_argument("checks", nargs="+", choices=sorted(CHECKS))
    args = parser.parse_args()
    if "version" in args.checks and not args.version:
        parser.error("the version check needs --version")

    failures = []
    with tempfile.TemporaryDirectory(prefix="mirelskan-package-") as folder:
        if args.package:
            args.dll = unpack_package(args.package, folder, failures)
        if args.dll:
            headers = objdump(args, "-p")
            for check in args.checks:
                CHECKS[check](args, headers, failures)
    for failure in failures:
        print(failure)
    print("%s: %d failures" % (", ".join(args.checks), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
