#!/usr/bin/python3
"""A table written by python3-dbf and tables read by python3-dbfread, programs nobody here wrote.

usage: peer_table.py write <folder> <rows>
       peer_table.py read <table>

write: makes <folder>/PEOPLE.DBF (FoxPro, .fpt memo file) with NAME C(12), AMOUNT N(10,2),
COUNT N(6,0), SMALL N(3,0), RATE F(12,4), BORN D, OK L, NOTE M and <rows> records made from a
fixed seed; every seventh record is deleted.
read: prints the live records in file order as CSV (RFC 4180, CR LF line ends): a header row of
field names, then one row per record. Text as read (trailing blanks removed), numbers as "%.15G"
with "." as separator, dates as yyyy-mm-dd, logicals T or F, empty values as empty cells, memos
their whole text. The last line is "deleted,<count of deleted records>".
"""
import csv
import datetime
import io
import os
import random
import sys

FIELDS = 'NAME C(12); AMOUNT N(10,2); COUNT N(6,0); SMALL N(3,0); RATE F(12,4); BORN D; OK L; NOTE M'
LETTERS = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz '


def row(r, i):
    name = ''.join(r.choice(LETTERS) for _ in range(r.randint(0, 12))).strip()
    amount = None if i % 11 == 0 else round(r.uniform(-99999.99, 99999.99), 2)
    count = None if i % 13 == 0 else r.randint(0, 999999)
    small = r.randint(-99, 999)
    rate = round(r.uniform(-9999.0, 99999.0), 4)
    born = None if i % 17 == 0 else datetime.date(1900, 1, 1) + datetime.timedelta(days=r.randint(0, 73000))
    ok = r.random() < 0.5
    note = ('memo %d, "quoted"\r\nsecond line' % i) if i % 10 == 0 else None
    return (name, amount, count, small, rate, born, ok, note)


def write(folder, rows):
    import dbf
    table = dbf.Table(os.path.join(folder, 'PEOPLE.DBF'), FIELDS, dbf_type='fp', codepage='cp1252')
    table.open(mode=dbf.READ_WRITE)
    r = random.Random(20031105)
    for i in range(rows):
        table.append(row(r, i))
    for i in range(0, rows, 7):
        dbf.delete(table[i])
    table.close()


def cell(value):
    if value is None:
        return ''
    if isinstance(value, bool):
        return 'T' if value else 'F'
    if isinstance(value, float):
        return '%.15G' % value
    if isinstance(value, datetime.date):
        return value.isoformat()
    return str(value)


def read(path):
    import dbfread
    table = dbfread.DBF(path, encoding='cp1252', load=True)
    out = io.StringIO()
    writer = csv.writer(out, lineterminator='\r\n')
    writer.writerow(table.field_names)
    for record in table.records:
        writer.writerow([cell(v) for v in record.values()])
    out.write('deleted,%d\r\n' % len(table.deleted))
    sys.stdout.buffer.write(out.getvalue().encode('cp1252'))


if __name__ == '__main__':
    if sys.argv[1] == 'write':
        write(sys.argv[2], int(sys.argv[3]))
    else:
        read(sys.argv[2])
