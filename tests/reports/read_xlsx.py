"""Reads a workbook with openpyxl, as a second program would, and prints what it finds: the
sheet's name, the frozen cell, each column's width and each cell's type, value, number format
and boldness, one tab-separated line each. Exit 3 when openpyxl is missing."""
import sys

try:
    import openpyxl
except ImportError:
    sys.exit(3)

book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
print(f"title\t{sheet.title}")
pane = sheet.sheet_view.pane
print(f"freeze\t{sheet.freeze_panes}\t{pane.state if pane else None}\t{pane.ySplit if pane else None}")
for letter, dimension in sorted(sheet.column_dimensions.items()):
    print(f"width\t{letter}\t{dimension.width}")
for row in sheet.iter_rows():
    for cell in row:
        if cell.value is None:
            continue
        print(f"cell\t{cell.coordinate}\t{type(cell.value).__name__}\t{cell.value}\t"
              f"{cell.number_format}\t{int(bool(cell.font.b))}")
