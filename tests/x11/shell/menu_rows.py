"""Reads the open menu as the harness describes it."""

import re
from dataclasses import dataclass


@dataclass
class Row:
    kind: str
    x: int = 0
    y: int = 0
    width: int = 0
    height: int = 0
    text: str = ""
    checked: bool = False
    enabled: bool = False
    slider: tuple = ()  # minimum, maximum, value, tracking, x, y, width, height

    def centre(self):
        return self.x + self.width // 2, self.y + self.height // 2


def read_menu(harness):
    """The rows of the open menu, or None when no menu is open."""
    harness.drain(0.05)
    harness.send("dump")
    first = harness.expect(r"^menu (open|closed)")
    if first.group(1) == "closed":
        return None
    rows = []
    while True:
        line = harness.expect(r"^(row |dump end)").string
        if line == "dump end":
            return rows
        if line == "row separator":
            rows.append(Row("separator"))
            continue
        item = re.match(r"^row item (\S+) (\S+) (\S+) (\S+) checked=(\d) enabled=(\d) text=(.*)$",
                        line)
        if item:
            x, y, w, h = (int(v) for v in item.groups()[:4])
            rows.append(Row("item", x, y, w, h, item.group(7), item.group(5) == "1",
                            item.group(6) == "1"))
            continue
        values = [int(v) for v in line.split()[2:]]
        rows.append(Row("slider", *values[:4], slider=tuple(values[4:])))


def row_titled(rows, text):
    for row in rows:
        if row.kind == "item" and row.text.split("\t")[0] == text:
            return row
    raise AssertionError("no row %r in %r" % (text, [r.text for r in rows]))
