#!/usr/bin/python3
"""export.py RECORDS OUTDIR: the journal records of RECORDS (see its head) in the journal's export
format, one OUTDIR/NAME.export a "=== NAME" section, for systemd-journal-remote."""
import datetime
import re
import struct
import sys

def value(text):
    text = text.replace('@LONG@', 'x' * 5000)
    return re.sub(rb'\\x([0-9a-f]{2})', lambda m: bytes([int(m.group(1), 16)]), text.encode())

def field(out, key, v):
    if any(c < 0x20 for c in v):  # binary form: name, size, data
        out.write(key.encode() + b'\n' + struct.pack('<Q', len(v)) + v + b'\n')
    else:
        out.write(key.encode() + b'=' + v + b'\n')

def main(records, outdir):
    files, out, n, begun = {}, None, 0, set()
    for line in open(records, encoding='ascii').read().splitlines():
        if line.startswith('=== '):
            out = files[line[4:]] = open(f'{outdir}/{line[4:]}.export', 'wb')
        elif line.startswith('+'):
            key, v = line[1:].split('=', 1)
            field(out, key, value(v))
        elif line and not line.startswith('#'):
            out.write(b'\n' if out in begun else b'')
            begun.add(out)
            t, host, boot, pid, uid, exe, tag, msg = line.split(' ', 7)
            tag, _, transport = tag.partition('/')
            at = datetime.datetime.fromisoformat(t).replace(tzinfo=datetime.timezone.utc)
            n += 1
            for key, v in (('__REALTIME_TIMESTAMP', str(int(at.timestamp()) * 1000000)),
                           ('__MONOTONIC_TIMESTAMP', str(n)), ('_BOOT_ID', boot.ljust(32, '0')),
                           ('_HOSTNAME', host), ('_PID', pid), ('_UID', uid),
                           ('_TRANSPORT', transport or 'syslog'), ('SYSLOG_IDENTIFIER', tag),
                           ('MESSAGE', msg)) + (
                               (('_EXE', exe),) if exe != '-' else ()):
                field(out, key, value(v))
    for f in files.values():
        f.write(b'\n')
        f.close()

main(sys.argv[1], sys.argv[2])
