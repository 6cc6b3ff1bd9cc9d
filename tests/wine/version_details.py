#!/usr/bin/env python3
"""version_details.py FILE...: prints the version resource of each Windows program, its
fixed product version and the strings that name the product, as KEY=VALUE lines; with two
or more files, exits 1 unless all of them agree."""
import struct
import sys

KEYS = ("ProductName", "CompanyName", "LegalCopyright", "ProductVersion", "FileVersion")
FIXED_SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def utf16_string_at(data, start):
    end = start
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[start:end].decode("utf-16-le")


def version_details(path):
    data = open(path, "rb").read()
    fixed = data.find(FIXED_SIGNATURE)
    if fixed < 0:
        sys.exit("%s: no version resource" % path)
    product_ms, product_ls = struct.unpack_from("<II", data, fixed + 16)
    details = {"product version (fixed)": "%d.%d.%d.%d" % (
        product_ms >> 16, product_ms & 0xFFFF, product_ls >> 16, product_ls & 0xFFFF)}
    for key in KEYS:
        name = (key + "\0").encode("utf-16-le")
        at = data.find(name, fixed)
        if at < 0:
            sys.exit("%s: no %s in the version resource" % (path, key))
        value = at + len(name)
        # The value starts on the next 32-bit boundary of the resource.
        while data[value:value + 2] == b"\0\0":
            value += 2
        details[key] = utf16_string_at(data, value)
    return details


def main():
    all_details = [version_details(path) for path in sys.argv[1:]]
    for path, details in zip(sys.argv[1:], all_details):
        print(path)
        for key, value in details.items():
            print("  %s=%s" % (key, value))
    if any(details != all_details[0] for details in all_details[1:]):
        sys.exit("the version details differ")


if __name__ == "__main__":
    main()
