#!/usr/bin/python3
"""Reads a table with python3-dbfread, a reader nobody here wrote, and prints what it finds.

usage: peer_read.py <table>
Prints the table kind, then one line per field "name type width decimals", then for each
record (live ones first, then deleted ones, each in file order) a line "record" or "deleted"
followed by one line "NAME=value" per field. Values: text and numbers as Python's repr, dates
in ISO form, binary contents in hexadecimal, None for empty.
"""
import datetime
import sys

import dbfread


def shown(value):
    if isinstance(value, bytes):
        return 'hex:' + value.hex()
    if isinstance(value, datetime.date):
        return value.isoformat()
    return repr(value)


def main():
    table = dbfread.DBF(sys.argv[1], encoding='cp1252', load=True)
    print(table.dbversion)
    for f in table.fields:
        print(f.name, f.type, f.length, f.decimal_count)
    for title, records in (('record', table.records), ('deleted', table.deleted)):
        for record in records:
            print(title)
            for name, value in record.items():
                print('%s=%s' % (name, shown(value)))


if __name__ == '__main__':
    main()
