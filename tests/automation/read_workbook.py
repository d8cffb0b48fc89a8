#!/usr/bin/python3
"""Prints what an independent reader sees in a workbook, one fact a line.

.xls is read with xlrd (formatting_info=True), anything else with openpyxl.
The tests compare these lines with what the spreadsheet server was told.

  sheet <index> "<name>"
  merged <sheet> <A1:G1>
  colwidth <sheet> <column letter> <width>      (xls: raw 1/256 units)
  rowheight <sheet> <row number> <points>       (custom heights only)
  cell <sheet> <ref> <kind> <value as JSON> font="<name>" size=<pt> bold=<0|1>
       color=<RRGGBB|auto> fill=<RRGGBB|none> h=<align> v=<align>
       [cidx=<font colour palette index> pidx=<fill palette index>]   (xls)
"""
import json
import sys


def col_letters(c):
    s = ""
    c += 1
    while c:
        c, r = divmod(c - 1, 26)
        s = chr(65 + r) + s
    return s


def rgb_hex(t):
    return "%02X%02X%02X" % tuple(t) if t else "auto"


def read_xls(path):
    import xlrd
    book = xlrd.open_workbook(path, formatting_info=True)
    halign = {0: "general", 1: "left", 2: "center", 3: "right", 4: "fill", 5: "justify",
              6: "centerContinuous", 7: "distributed"}
    valign = {0: "top", 1: "center", 2: "bottom", 3: "justify", 4: "distributed"}
    for si in range(book.nsheets):
        sh = book.sheet_by_index(si)
        print('sheet %d %s' % (si, json.dumps(sh.name, ensure_ascii=False)))
        for (r1, r2, c1, c2) in sh.merged_cells:
            print("merged %d %s%d:%s%d" % (si, col_letters(c1), r1 + 1, col_letters(c2 - 1), r2))
        for c, info in sorted(sh.colinfo_map.items()):
            print("colwidth %d %s %d" % (si, col_letters(c), info.width))
        for r, info in sorted(sh.rowinfo_map.items()):
            if info.height_mismatch:
                print("rowheight %d %d %g" % (si, r + 1, info.height / 20.0))
        kinds = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number",
                 xlrd.XL_CELL_BOOLEAN: "bool", xlrd.XL_CELL_BLANK: "blank", xlrd.XL_CELL_EMPTY: "empty"}
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                xf = book.xf_list[cell.xf_index]
                font = book.font_list[xf.font_index]
                bg = xf.background
                fill = "none"
                if bg.fill_pattern == 1:
                    fill = rgb_hex(book.colour_map.get(bg.pattern_colour_index))
                print("cell %d %s%d %s %s font=%s size=%g bold=%d color=%s fill=%s h=%s v=%s cidx=%d pidx=%d" % (
                    si, col_letters(c), r + 1, kinds.get(cell.ctype, "?"),
                    json.dumps(cell.value, ensure_ascii=False), json.dumps(font.name, ensure_ascii=False),
                    font.height / 20.0, font.bold, rgb_hex(book.colour_map.get(font.colour_index)), fill,
                    halign.get(xf.alignment.hor_align, "?"), valign.get(xf.alignment.vert_align, "?"),
                    font.colour_index, bg.pattern_colour_index if bg.fill_pattern == 1 else -1))


def read_xlsx(path):
    import openpyxl
    from openpyxl.utils import get_column_letter
    book = openpyxl.load_workbook(path)
    for si, sh in enumerate(book.worksheets):
        print('sheet %d %s' % (si, json.dumps(sh.title, ensure_ascii=False)))
        for m in sorted(str(r) for r in sh.merged_cells.ranges):
            print("merged %d %s" % (si, m))
        for key, dim in sorted(sh.column_dimensions.items()):
            if dim.customWidth:
                for c in range(dim.min, dim.max + 1):
                    print("colwidth %d %s %g" % (si, get_column_letter(c), dim.width))
        for r, dim in sorted(sh.row_dimensions.items()):
            if dim.customHeight:
                print("rowheight %d %d %g" % (si, r, dim.height))
        for row in sh.iter_rows():
            for cell in row:
                if type(cell).__name__ == "MergedCell":
                    continue
                if cell.value is None and not cell.has_style:
                    continue
                kind = {"s": "text", "n": "number", "b": "bool"}.get(cell.data_type, cell.data_type)
                if cell.value is None:
                    kind = "blank"
                f = cell.font
                color = "auto"
                if f.color is not None and f.color.type == "rgb":
                    color = f.color.rgb[-6:]
                fill = "none"
                if cell.fill.fill_type == "solid":
                    fill = cell.fill.fgColor.rgb[-6:]
                print("cell %d %s %s %s font=%s size=%g bold=%d color=%s fill=%s h=%s v=%s" % (
                    si, cell.coordinate, kind, json.dumps(cell.value if cell.value is not None else "", ensure_ascii=False),
                    json.dumps(f.name, ensure_ascii=False), f.sz, 1 if f.b else 0, color, fill,
                    cell.alignment.horizontal or "general", cell.alignment.vertical or "bottom"))


if __name__ == "__main__":
    path = sys.argv[1]
    if path.lower().endswith(".xlsx"):
        read_xlsx(path)
    else:
        read_xls(path)
