#!/usr/bin/python3
# Makes the workbooks in this folder with other programs: openpyxl and xlwt
# (python3-openpyxl, python3-xlwt) write them, LibreOffice (soffice, from
# libreoffice-calc-nogui) saves some again in its own formats. Run it from
# this folder; the tests say what each file must give.
import csv, datetime, os, shutil, subprocess, sys, tempfile, time, zipfile

import openpyxl
import xlwt

here = os.path.dirname(os.path.abspath(__file__))
work = tempfile.mkdtemp()


def soffice(src, fmt, out):
    """Saves src with LibreOffice as fmt (xls, xlsx, ods) under the name out."""
    outdir = os.path.join(work, "out")
    subprocess.run(["soffice", "--headless", "--convert-to", fmt, "--outdir", outdir, src],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shutil.move(os.path.join(outdir, os.path.splitext(os.path.basename(src))[0] + "." + fmt), os.path.join(here, out))


# ---- one workbook, saved by LibreOffice as .xls, .xlsx and .ods ----------------
# Number formats, dates shown in several ways, formulas of every result kind
# (LibreOffice calculates them when it opens the file), a text long enough to
# run over several records of an .xls, and a second sheet that is not active.
def kinds(path, epoch1904, long_text):
    wb = openpyxl.Workbook()
    if epoch1904:
        from openpyxl.utils.datetime import CALENDAR_MAC_1904
        wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws.title = "Kinds"
    wb.create_sheet("Other")["A1"] = "not the active sheet"
    ws.append(["Text", "Zip", "Income", "Share", "US date", "DE date", "Short date", "Long date", "Stamp",
               "Yes", "No", "Joined", "Sum", "Broken", "Fraction", "Huge", "Introduce"])
    d = datetime.datetime(2024, 3, 5)
    ws.append(["Müller & Co", 10020, 1234567.891, 0.256, d, d, d, d, datetime.datetime(2024, 3, 5, 18, 30),
               "=TRUE()", "=FALSE()", '="ab"&"cd"', "=1+2", "=1/0", 3.25, 1e20, long_text])
    ws.append(["深圳市腾飞贸易有限公司", 7, -4321.5, 1, datetime.datetime(1999, 12, 31), datetime.datetime(2000, 2, 29),
               datetime.datetime(1970, 1, 1), datetime.datetime(2024, 12, 31), datetime.datetime(2024, 12, 31, 23, 59, 59),
               "=1=1", "=1=2", '=A3&"!"', "=B3*2", "=NA()", 0.5, 2.0 ** 63, "short"])
    formats = [None, "000000", "#,##0", "0%", "m/d/yyyy", "dd.mm.yyyy", "d-mmm-yy", "[$-409]dddd, mmmm dd, yyyy",
               "yyyy-mm-dd hh:mm", None, None, None, "0.00", None, "# ?/?", "# ?/?", None]
    for row in ws.iter_rows(min_row=2):
        for cell, f in zip(row, formats):
            if f:
                cell.number_format = f
    wb.active = 0
    wb.save(path)


src = os.path.join(work, "lo-kinds.xlsx")
kinds(src, False, "长" * 3000 + "Latin tail " * 500 + "中文结尾")
for fmt in ("xls", "xlsx", "ods"):
    soffice(src, fmt, "lo-kinds." + fmt)
src = os.path.join(work, "lo-kinds-1904.xlsx")
kinds(src, True, "short")
for fmt in ("xls", "ods"):
    soffice(src, fmt, "lo-kinds-1904." + fmt)

# ---- contacts written by xlwt: an .xls no spreadsheet program has opened ------
wb = xlwt.Workbook()
ws = wb.add_sheet("Contacts")
date_style = xlwt.easyxf(num_format_str="D/M/YYYY")
zip_style = xlwt.easyxf(num_format_str="000000")
# Dates: cells shown day first (5/3/1980 is 5 March), and dates typed as
# text, one of which (3/5/2024) reads two ways.
for c, h in enumerate(["公司编码", "联系人", "主联系人", "生日", "邮政编码", "电话", "入职日期"]):
    ws.write(0, c, h)
rows = [(1, "Ann", True, datetime.date(1980, 3, 5), 10020, "0755-1", "2024-03-05"),
        (2, "Bob", False, datetime.date(1975, 12, 31), 7, "0755-2", "15/3/2024"),
        (1, "Cid", True, datetime.date(2001, 2, 3), 518000, "0755-3", "3/5/2024")]
for r, (cust, name, main, born, zipc, tel, joined) in enumerate(rows, start=1):
    ws.write(r, 0, cust)
    ws.write(r, 1, name)
    ws.write(r, 2, main)
    ws.write(r, 3, born, date_style)
    ws.write(r, 4, zipc, zip_style)
    ws.write(r, 5, tel)
    ws.write(r, 6, joined)
wb.save(os.path.join(here, "xlwt-contacts.xls"))

# ---- formulas without results: openpyxl writes them, nothing calculates them --
wb = openpyxl.Workbook()
ws = wb.active
ws.append(["公司名称", "电话", "城市"])
ws.append(["Alpha", "0755-1", "深圳"])
ws.append(['="Be"&"ta"', "=1+2", '="广"&"州"'])
ws.append(["Gamma", "0755-3", "北京"])
wb.save(os.path.join(here, "openpyxl-uncalculated.xlsx"))

# ---- a memo text longer than a spreadsheet cell holds, and a too long zip ----
# openpyxl itself cuts a text at 32,767 characters: it writes a placeholder,
# which the whole text then replaces in the sheet's XML.
wb = openpyxl.Workbook()
ws = wb.active
ws.append(["公司名称", "企业简介", "邮政编码"])
ws.append(["Long Story Co", "LONG-TEXT-HERE", "518000"])
ws.append(["Short Co", "brief", "5180001"])
placeholder = os.path.join(work, "long.xlsx")
wb.save(placeholder)
long_text = "".join(chr(0x4E00 + i % 500) for i in range(40000))
with zipfile.ZipFile(placeholder) as src, \
        zipfile.ZipFile(os.path.join(here, "openpyxl-long.xlsx"), "w", zipfile.ZIP_DEFLATED) as dst:
    for item in src.infolist():
        data = src.read(item.filename)
        if item.filename == "xl/worksheets/sheet1.xml":
            data = data.replace(b"LONG-TEXT-HERE", long_text.encode("utf-8"))
        dst.writestr(item, data)

# ---- headers that are names, one of them naming nothing ------------------------
wb = openpyxl.Workbook()
ws = wb.active
ws.append(["公司名称", "备注", "电话"])
ws.append(["Alpha", "call back", "0755-1"])
wb.save(os.path.join(here, "openpyxl-pairing.xlsx"))

# ---- a CSV written by Python's csv module, then cut in a quoted field ---------
path = os.path.join(work, "cut.csv")
with open(path, "w", newline="", encoding="utf-8") as f:
    w = csv.writer(f)
    w.writerow(["公司名称", "企业简介", "电话"])
    w.writerow(["Alpha", "one line", "1"])
    w.writerow(["Beta", 'said "hi",\nthen left', "2"])
    w.writerow(["Gamma", "last", "3"])
data = open(path, encoding="utf-8").read()
with open(os.path.join(here, "python-unclosed-quote.csv"), "w", newline="", encoding="utf-8") as f:
    f.write(data[:data.index("then left")])

# ---- a CSV put together from a UTF-8 file and a Windows-1252 one ---------------
# What appending an export of an older program to a UTF-8 list gives: the
# legacy line must not turn the whole file into garbled text.
mixed = os.path.join(here, "python-mixed-encodings.csv")
with open(mixed, "w", newline="", encoding="utf-8") as f:
    w = csv.writer(f)
    w.writerow(["公司名称", "企业简介", "电话"])
    w.writerow(["深圳市腾飞贸易有限公司", "老客户", "0755-1234"])
    w.writerow(["上海浦东", "新客户", "021-5678"])
with open(mixed, "a", newline="", encoding="cp1252") as f:
    csv.writer(f).writerow(["Café René", "Besançon", "03-81"])

# ---- an .ods saved by LibreOffice with a password ("secret") -------------------
lock = r'''
import sys, subprocess, time, uno
from com.sun.star.beans import PropertyValue
def prop(n, v):
    p = PropertyValue(); p.Name = n; p.Value = v; return p
proc = subprocess.Popen(["soffice", "--headless", "--invisible", "--norestore",
    "--accept=socket,host=127.0.0.1,port=2299;urp;"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
local = uno.getComponentContext()
resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
for i in range(120):
    try:
        ctx = resolver.resolve("uno:socket,host=127.0.0.1,port=2299;urp;StarOffice.ComponentContext"); break
    except Exception:
        time.sleep(0.5)
desktop = ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)
doc = desktop.loadComponentFromURL(uno.systemPathToFileUrl(sys.argv[1]), "_blank", 0, (prop("Hidden", True),))
doc.storeToURL(uno.systemPathToFileUrl(sys.argv[2]), (prop("FilterName", "calc8"), prop("Password", "secret")))
doc.close(True)
try:
    desktop.terminate()
except Exception:
    pass
proc.wait(timeout=60)
'''
script = os.path.join(work, "lock.py")
open(script, "w").write(lock)
subprocess.run(["/usr/bin/python3", script, os.path.join(here, "openpyxl-pairing.xlsx"),
                os.path.join(here, "lo-locked.ods")], check=True)

shutil.rmtree(work)
