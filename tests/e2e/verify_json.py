"""verify_json.py SCHEMA DOC TEXT IDS SB: the document of spauth verify --json against the schema,
against the text spauth verify printed for the same row (one finding for each line, in order, and
one info for each info line), against the ids the row expects (comma-separated, in order), and
against the root audited in the sandbox SB: its host name, and the registry's digest computed here
with hashlib."""
import hashlib, json, os, re, stat, sys
import jsonschema

schema_path, doc_path, text_path, ids, sb = sys.argv[1:6]
doc = json.load(open(doc_path, encoding='utf-8'))
jsonschema.validate(doc, json.load(open(schema_path)))
problems = []
def unescaped(line):  # as spauth prints text: \ooo for what is not printable ASCII
    raw = re.sub(rb'\\([0-7]{3})', lambda m: bytes([int(m[1], 8)]), line)
    return raw.decode('utf-8', errors='replace')
lines = [unescaped(l) for l in open(text_path, 'rb').read().splitlines()]
info = [l for l in lines if l.startswith('spauth verify: info: ')]
want = [l for l in lines if l not in info]
got = ['spauth verify: %(place)s: %(what)s; %(why)s; fix: %(fix)s' % f for f in doc['findings']]
if got != want:
    problems.append('findings %r, text %r' % (got, want))
if ['spauth verify: info: ' + i for i in doc['info']] != info:
    problems.append('info %r, text %r' % (doc['info'], info))
if [f['id'] for f in doc['findings']] != [i for i in ids.split(',') if i]:
    problems.append('ids %s, want %s' % ([f['id'] for f in doc['findings']], ids))
for f in doc['findings']:
    key = '\0'.join((f['id'], f['place'], f['what'])).encode('utf-8', errors='surrogateescape')
    if f['fingerprint'] != hashlib.sha256(key).hexdigest() and '\ufffd' not in f['place']:
        problems.append('fingerprint of %s' % f['place'])
c = doc['counts']
if c['findings'] != len(doc['findings']) or c['info'] != len(doc['info']) or any(
        c[s] != sum(f['severity'] == s for f in doc['findings']) for s in ('critical', 'error', 'warning')):
    problems.append('counts %r' % c)
top = sb + doc['root'].rstrip('/')  # what the audit saw as /
host = open(top + '/etc/hostname').read().strip() if os.path.exists(top + '/etc/hostname') else None
if doc['complete'] and doc['host'] != host:
    problems.append('host %r, want %r' % (doc['host'], host))
reg, h = top + '/etc/sysconfig/sp/cluster/', hashlib.sha256()
names = sorted(n for n in os.listdir(reg.encode()) if n.endswith(b'.conf') and not n.startswith(b'.')) \
    if os.path.isdir(reg) else []
for n in names:
    h.update(n + b'\0')
    try:
        regular = stat.S_ISREG(os.stat(reg.encode() + n).st_mode)
    except OSError:
        regular = False
    data = open(reg.encode() + n, 'rb').read() if regular else None
    h.update(b'-\0' if data is None else str(len(data)).encode() + b'\0' + data)
if doc['complete'] and doc['registry'] != {'files': len(names), 'sha256': h.hexdigest()}:
    problems.append('registry %r, want %d files %s' % (doc['registry'], len(names), h.hexdigest()))
print('\n'.join(problems))
sys.exit(1 if problems else 0)
