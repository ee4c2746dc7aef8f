#!/usr/bin/env python3
"""Checks of the shipped 32-bit DLL, read with objdump: it is never run on this machine, so its
file format, export table, imports and calling convention are checked in the file itself."""

import argparse
import re
import subprocess
import sys

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


CHECKS = {"format": check_format, "exports": check_exports, "imports": check_imports,
          "stdcall": check_stdcall}


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--objdump", default="objdump")
    parser.add_argument("--dll", required=True)
    parser.add_argument("checks", nargs="+", choices=sorted(CHECKS))
    args = parser.parse_args()

    headers = objdump(args, "-p")
    failures = []
    for check in args.checks:
        CHECKS[check](args, headers, failures)
    for failure in failures:
        print(failure)
    print("%s: %d failures" % (", ".join(args.checks), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
