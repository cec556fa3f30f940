#!/usr/bin/python3
"""Writes tables with python3-dbf, a writer nobody here wrote, for the engine to read.

usage: peer_write.py <folder>
Writes DB3.DBF (dBASE III with a .dbt memo file), FOX.DBF (FoxPro with a .fpt memo file and a
picture field) and VFP.DBF (Visual FoxPro, text fields only), each with the same four rows; the
second row is deleted.
"""
import datetime
import os
import sys

import dbf

FIELDS = 'NAME C(10); AMOUNT N(10,2); COUNT N(5,0); BORN D; OK L; NOTE M'
ROWS = [
    ('Alice', 12.5, 42, datetime.date(2003, 11, 5), True, 'hello memo'),
    ('Bob', -3.25, -7, None, False, 'line\r\n' * 200),
    ('', 0, 0, datetime.date(1999, 12, 31), False, ''),
    ('\u00c9mile', 1234567.89, 99999, datetime.date(2024, 2, 29), True, '\u00dcn\u00efcode memo'),
]
PICTURE = b'\x00\x01\x1a\xff' * 100


def write(path, kind, fields, rows):
    table = dbf.Table(path, fields, dbf_type=kind, codepage='cp1252')
    table.open(mode=dbf.READ_WRITE)
    for row in rows:
        table.append(row)
    dbf.delete(table[1])
    table.close()


def main():
    folder = sys.argv[1]
    write(os.path.join(folder, 'DB3.DBF'), 'db3', FIELDS, ROWS)
    write(os.path.join(folder, 'FOX.DBF'), 'fp', FIELDS + '; PIC P', [row + (PICTURE,) for row in ROWS])
    write(os.path.join(folder, 'VFP.DBF'), 'vfp', 'NAME C(10); AMOUNT N(10,2); COUNT N(5,0); BORN D; OK L',
          [row[:5] for row in ROWS])


if __name__ == '__main__':
    main()
