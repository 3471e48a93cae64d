"""Checks the code conversions against Python's code page 037 codec.

Usage: check_code_tables.py DUMP_PROGRAM

The local-to-network table is code page 037 for ASCII 0x00-0x7F but for three
characters; the network-to-local table is its inverse, '?' for every EBCDIC byte
it does not produce, with a few fixed exceptions.
"""
import subprocess
import sys

FORWARD_EXCEPTIONS = {ord('['): 0xAD, ord(']'): 0xBD, ord('^'): 0x5F}
REVERSE_EXCEPTIONS = {0x07: 0x10, 0x1C: 0x3F, 0x1D: 0x3F, 0x1E: 0x3F, 0x1F: 0x3F, 0x22: 0x1C,
                      0x30: 0x00, 0x31: 0x00, 0x33: 0x00, 0x3E: 0x00, 0x35: 0x1E, 0xFA: 0x7C}
UNKNOWN = ord('?')


def expected_tables():
    forward = [chr(a).encode('cp037')[0] for a in range(128)]
    for ascii_byte, ebcdic_byte in FORWARD_EXCEPTIONS.items():
        forward[ascii_byte] = ebcdic_byte
    if len(set(forward)) != 128:
        sys.exit('oracle error: two ASCII bytes share an EBCDIC byte')
    reverse = [UNKNOWN] * 256
    for ascii_byte, ebcdic_byte in enumerate(forward):
        reverse[ebcdic_byte] = ascii_byte
    for ebcdic_byte, ascii_byte in REVERSE_EXCEPTIONS.items():
        reverse[ebcdic_byte] = ascii_byte
    return forward, reverse


def dumped_tables(program):
    output = subprocess.run([program], check=True, capture_output=True, text=True).stdout
    tables = {}
    for line in output.splitlines():
        name, _, values = line.partition(':')
        tables[name] = [int(value, 16) for value in values.split()]
    return tables


def differences(name, actual, expected):
    if len(actual) != len(expected):
        return ['%s: %d entries, expected %d' % (name, len(actual), len(expected))]
    return ['%s[0x%02X] = 0x%02X, expected 0x%02X' % (name, i, a, e)
            for i, (a, e) in enumerate(zip(actual, expected)) if a != e]


def main():
    forward, reverse = expected_tables()
    tables = dumped_tables(sys.argv[1])
    faults = (differences('to_network', tables.get('to_network', []), forward)
              + differences('to_local', tables.get('to_local', []), reverse)
              + differences('ebcdic_to_ascii', tables.get('ebcdic_to_ascii', []), reverse))
    for fault in faults:
        print(fault)
    if faults:
        return 1
    print('code tables match code page 037 with the listed exceptions')
    return 0


if __name__ == '__main__':
    sys.exit(main())
