"""Checks the BER codec against pyasn1, an independent BER implementation.

Usage: check_ber_codec.py TOOL   (TOOL: the ber_codec_tool program)

Both ways: what the codec writes must decode with pyasn1 to the value it was
given (and integers must be in their shortest form, as BER requires), and what
pyasn1 writes must read back with the codec to the same value. Malformed fields
must be refused.
"""
import subprocess
import sys

from pyasn1.codec.ber import decoder, encoder
from pyasn1.error import PyAsn1Error
from pyasn1.type import univ

INTEGERS = [0, 1, 127, 128, 200, 255, 256, 32767, 32768, 40000, 8388607, 8388608, 2**31 - 1,
            -1, -127, -128, -129, -255, -256, -32768, -32769, -40000, -8388608, -8388609, -2**31]
OCTET_STRINGS = [b'public', b'\x00', b'\xff' * 127, b'a' * 128, b'b' * 200, b'c' * 255, b'd' * 256,
                 b'e' * 65535, b'f' * 65536]
OIDS = ['1.3.6.1.2.1.1.1.0', '1.3.6.1.4.1.200', '0.0', '0.39', '1.0', '2.39',
        '1.3.127.128.16383.16384.2097151.2097152.268435455.268435456.4294967295',
        '1.3.' + '.'.join(str(16384 + n) for n in range(60))]
# Valid BER that this codec reads though it does not write it.
READ_ONLY_OIDS = ['2.40', '2.999.3', '2.4294967215']

# (name, hex, whether pyasn1 refuses it too)
MALFORMED = [
    ('length past the buffer', '0405616263', True),
    ('tag without length', '04', True),
    ('long-form length cut short', '048201', True),
    ('long-form length past the buffer', '0482010061', True),
    ('truncated content in a sequence', '3006020101040361', True),
    ('integer content cut short', '020400ff', True),
    ('zero-length integer', '0200', False),
    ('over-long integer', '020500ffffffff', False),
    ('OID ending inside an element', '06022b86', True),
    ('OID element padded with 0x80', '06032b8001', True),
    ('OID element above 32 bits', '06062b9080808000', False),
    ('too many sub-identifiers', '0641' + '2b' + '01' * 64, False),
    ('empty OID', '0600', True),
    ('length of five significant bytes', '04850100000000', True),
]


def ask(tool, commands):
    lines = ''.join(command + '\n' for command in commands)
    run = subprocess.run([tool], input=lines, capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit('tool ended with %d:\n%s' % (run.returncode, run.stderr[:2000]))
    answers = run.stdout.splitlines()
    if len(answers) != len(commands):
        sys.exit('tool gave %d answers to %d commands' % (len(answers), len(commands)))
    return answers


def render(value):
    """pyasn1's value in the tool's read notation."""
    if isinstance(value, univ.Integer):
        return 'int %d' % int(value)
    if isinstance(value, univ.Null):  # before OctetString, its base class in pyasn1
        return 'null'
    if isinstance(value, univ.OctetString):
        return 'octets ' + bytes(value).hex()
    if isinstance(value, univ.ObjectIdentifier):
        return 'oid ' + str(value)
    if isinstance(value, (univ.Sequence, univ.SequenceOf)):
        return 'seq(' + ','.join(render(value[i]) for i in range(len(value))) + ')'
    return 'unexpected %s' % type(value).__name__


def pyasn1_reads(hex_text):
    value, rest = decoder.decode(bytes.fromhex(hex_text))
    if rest:
        raise PyAsn1Error('%d bytes after the field' % len(rest))
    return render(value)


def shortest_integer(hex_text):
    content = bytes.fromhex(hex_text)[2:]
    if len(content) < 2:
        return True
    nine_bits = (content[0] << 1) | (content[1] >> 7)
    return nine_bits not in (0, 0x1FF)


def sequence(*components):
    value = univ.Sequence()
    for position, component in enumerate(components):
        value.setComponentByPosition(position, component)
    return value


def check_written(tool, failures):
    """The codec writes, pyasn1 reads."""
    cases = ([('int %d' % n, 'int %d' % n) for n in INTEGERS]
             + [('octets ' + s.hex(), 'octets ' + s.hex()) for s in OCTET_STRINGS]
             + [('null', 'null')]
             + [('oid ' + text, 'oid ' + text) for text in OIDS])
    answers = ask(tool, [command for command, _ in cases])
    written = dict(zip([command for command, _ in cases], answers))
    for (command, expected), hex_text in zip(cases, answers):
        try:
            read = pyasn1_reads(hex_text)
        except PyAsn1Error as error:
            read = 'pyasn1 refuses: %s' % error
        if read != expected:
            failures.append('%s wrote %s, pyasn1 reads %s' % (command[:40], hex_text[:40], read[:60]))
        if command.startswith('int') and not shortest_integer(hex_text):
            failures.append('%s wrote %s, not the shortest form' % (command, hex_text))

    # An SNMP-like message, each SEQUENCE wrapped around content built in place.
    var_bind, = ask(tool, ['seq ' + written['oid 1.3.6.1.2.1.1.1.0'] + written['null']])
    var_binds, = ask(tool, ['seq ' + var_bind])
    pdu, = ask(tool, ['seq ' + written['int 200'] + written['int 0'] + written['int -1'] + var_binds])
    message, = ask(tool, ['seq ' + written['int 0'] + written['octets 7075626c6963'] + pdu])
    expected = 'seq(int 0,octets 7075626c6963,seq(int 200,int 0,int -1,seq(seq(oid 1.3.6.1.2.1.1.1.0,null))))'
    if pyasn1_reads(message) != expected:
        failures.append('message %s reads %s with pyasn1' % (message, pyasn1_reads(message)))


def check_read(tool, failures):
    """pyasn1 writes, the codec reads."""
    values = ([univ.Integer(n) for n in INTEGERS]
              + [univ.OctetString(s) for s in OCTET_STRINGS + [b'g' * 70000]]
              + [univ.Null('')]
              + [univ.ObjectIdentifier(text) for text in OIDS + READ_ONLY_OIDS]
              + [sequence(univ.Integer(0), univ.OctetString(b'public'),
                          sequence(univ.Integer(7), sequence(sequence(univ.ObjectIdentifier('1.3.6.1.2.1.1.5.0'),
                                                                      univ.Null('')))))])
    encodings = [encoder.encode(value).hex() for value in values]
    answers = ask(tool, ['read ' + hex_text for hex_text in encodings])
    for value, hex_text, answer in zip(values, encodings, answers):
        expected = render(value)
        if isinstance(value, univ.Integer) and len(hex_text) > 2 * (2 + 4):
            # pyasn1 pads some negative numbers with a byte that BER forbids
            # (-2**31 as ff 80 00 00 00); five content bytes are refused.
            expected = 'FAIL'
        if answer != expected:
            failures.append('read %s gives %s, expected %s' % (hex_text[:40], answer[:60], expected[:60]))


def check_malformed(tool, failures):
    answers = ask(tool, ['read ' + hex_text for _, hex_text, _ in MALFORMED])
    for (name, hex_text, pyasn1_refuses), answer in zip(MALFORMED, answers):
        if answer != 'FAIL':
            failures.append('%s (%s) read as %s' % (name, hex_text[:40], answer))
        if pyasn1_refuses:
            try:
                pyasn1_reads(hex_text)
                failures.append('%s (%s): pyasn1 reads it, case not malformed' % (name, hex_text[:40]))
            except PyAsn1Error:
                pass


def main():
    tool = sys.argv[1]
    failures = []
    check_written(tool, failures)
    check_read(tool, failures)
    check_malformed(tool, failures)
    for failure in failures:
        print(failure)
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
