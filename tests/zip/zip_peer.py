#!/usr/bin/python3
"""Python's zipfile as a peer of the ZIP tests.

  zip_peer.py check ARCHIVE [--password PW] [--exact] NAME=PATH ...
      Each NAME reads back (CRC checked) as exactly the bytes of PATH; without pairs, the
      archive passes testzip(). With --exact
      the archive holds nothing else (folders ending in "/" are not counted). Prints "ok", or
      what is wrong, and exits 0 or 1.
  zip_peer.py comment ARCHIVE TEXT
      Gives the archive the comment TEXT.
  zip_peer.py names ARCHIVE
      Prints each entry's name (decoded as Python decodes it), method, flag bits and host system.
"""
import sys
import zipfile


def same_bytes(z, name, path):
    # In pieces: some of the files are gigabytes long.
    with z.open(name) as entry, open(path, "rb") as f:
        while True:
            a, b = entry.read(1 << 20), f.read(1 << 20)
            if a != b:
                return False
            if not a:
                return True


def check(args):
    archive, password, exact, pairs = args[0], None, False, []
    rest = args[1:]
    while rest:
        arg = rest.pop(0)
        if arg == "--password":
            password = rest.pop(0).encode("latin-1")
        elif arg == "--exact":
            exact = True
        else:
            name, _, path = arg.partition("=")
            pairs.append((name, path))
    problems = []
    with zipfile.ZipFile(archive) as z:
        if password:
            z.setpassword(password)
        if not pairs:
            try:
                bad = z.testzip()
            except Exception as e:  # a wrong password, a damaged entry
                bad = repr(e)
            if bad:
                problems.append("testzip fails at " + bad)
        names = [n for n in z.namelist() if not n.endswith("/")]
        for name, path in pairs:
            if name not in names:
                problems.append("missing " + name)
                continue
            try:  # reading to the end checks the CRC as well
                if not same_bytes(z, name, path):
                    problems.append("different bytes in " + name)
            except Exception as e:
                problems.append("cannot read %s: %r" % (name, e))
        if exact and sorted(names) != sorted(n for n, _ in pairs):
            problems.append("names " + repr(sorted(names)))
    print("\n".join(problems) if problems else "ok")
    return 1 if problems else 0


def comment(args):
    with zipfile.ZipFile(args[0], "a") as z:
        z.comment = args[1].encode("latin-1")
    return 0


def names(args):
    with zipfile.ZipFile(args[0]) as z:
        for i in z.infolist():
            print("%s|%d|%d|%d" % (i.filename, i.compress_type, i.flag_bits, i.create_system))
    return 0


if __name__ == "__main__":
    command = sys.argv[1]
    sys.exit({"check": check, "comment": comment, "names": names}[command](sys.argv[2:]))
