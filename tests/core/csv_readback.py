#!/usr/bin/env python3
"""Reads an exported CSV file with Python's csv module (strict UTF-8) and
prints its records as JSON, one list of fields per record."""
import csv
import json
import sys

with open(sys.argv[1], newline="", encoding="utf-8", errors="strict") as source:
    records = list(csv.reader(source, strict=True))
json.dump(records, sys.stdout, ensure_ascii=True)
