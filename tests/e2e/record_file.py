#!/usr/bin/env python3
"""Reads and writes the setup's record files as an adversary would: with
sound line checks whatever they say.

  record_file.py read PATH            the records, one a line, fields by tabs
  record_file.py write PATH MAGIC VERSION whole|appended < records
"""
import sys
import zlib


def line(fields):
    body = "\t".join(fields).encode("gbk")
    return body + b"\t%08x\r\n" % (zlib.crc32(body) & 0xFFFFFFFF)


def read(path):
    with open(path, "rb") as f:
        lines = f.read().split(b"\n")
    for raw in lines[1:]:
        fields = raw.rstrip(b"\r").split(b"\t")[:-1]
        if fields and fields[0] != b"end":
            print("\t".join(x.decode("gbk") for x in fields))


def write(path, magic, version, how):
    records = [l.rstrip("\n").split("\t") for l in sys.stdin if l.strip()]
    data = line([magic, version]) + b"".join(line(r) for r in records)
    if how == "whole":
        data += line(["end", str(len(records))])
    with open(path, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if sys.argv[1] == "read":
        read(sys.argv[2])
    else:
        write(*sys.argv[2:6])
