#!/usr/bin/env python3
"""Writes the small seed corpus of the fuzz targets into corpus/<target>/.
Run again after changing it; the files are kept in the repository."""
import base64
import os
import io
import struct
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def b64lines(data):
    text = base64.b64encode(data).decode()
    return "".join(text[i:i + 76] + "\r\n" for i in range(0, len(text), 76))


page = '<html><head><meta charset="euc-jp"></head><body><img src="a.gif">日本語</body></html>'
ours = ("From: <Brindel html2mht proc.>\r\nSubject: \r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/related;\r\n\tboundary=\"----=_NextPart_000\";\r\n"
        "\ttype=\"text/html\"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n"
        "------=_NextPart_000\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: base64\r\n"
        "Content-Location: =?shift_jis?B?ZmlsZTovLy90bXAvcC5odG0=?= \r\n\r\n"
        + b64lines(page.encode("euc-jp")) + "\r\n------=_NextPart_000\r\n")
put("mht_reader", "ours.mht", ours.encode())
browser = ("MIME-Version: 1.0\r\nContent-Type: multipart/related; type=\"text/html\";\r\n"
           " boundary=\"----MultipartBoundary--x----\"\r\n\r\n------MultipartBoundary--x----\r\n"
           "Content-Type: text/html; charset=iso-2022-jp\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
           "=1B$BF|K\\8l=1B(B <a href=3D\"b.htm\">=\r\nlink</a>\r\n------MultipartBoundary--x----\r\n"
           "Content-Type: multipart/alternative; boundary=in\r\n\r\n--in\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n"
           "text\r\n--in--\r\n------MultipartBoundary--x------\r\n")
put("mht_reader", "browser.mht", browser.encode())
# Mails as people send them: an attached message in a digest under a
# boundary of RFC 2231 pieces, a multipart reusing its parent's boundary,
# base64 that is none, text in EUC-JP without a name and in Latin-1.
attached = ("From: c@example.com\r\nSubject: inner\r\nContent-Type: text/plain; charset=iso-8859-1\r\n\r\n"
            .encode() + "caf\u00e9 cr\u00e8me".encode("iso-8859-1") + b"\r\n")
mail = (b"From a@example.com Mon Jan  1 09:00:00 2024\r\nSubject: x\r\nMIME-Version: 1.0\r\n"
        b"Content-Type: multipart/digest; boundary*0=\"dig\"; boundary*1*=est%21\r\n\r\n--digest!\r\n\r\n"
        + attached + b"--digest!\r\nContent-Type: multipart/alternative; boundary=\"digest!\"\r\n\r\n"
        b"--digest!\r\nContent-Type: text; charset=us-ascii\r\n" + "日本語の本文".encode("euc-jp")
        + b"\r\n--digest!\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: base64\r\n\r\n"
        b"<p>not base64 at all</p>\r\n--digest!--\r\n--digest!\r\nContent-Type: message/rfc822\r\n"
        b"Content-Transfer-Encoding: base64\r\n\r\n" + base64.b64encode(attached) + b"\r\n--digest!--\r\n")
put("mht_reader", "mail.eml", mail)


def kpx(width, height, dpi, data):
    header = b"Kpx Draw\0" + bytes(15) + struct.pack("<iii", width, height, dpi) + bytes(32)
    return header + data


put("kpx_draw", "small.kpx", kpx(40, 4, 200, b"\x81\x42\x0f\xf0\x55\xaa\xff\x06\x00\x02\x3c\xff\x03\x00\x06"))
put("kpx_draw", "short.kpx", kpx(16, 8, 300, b"\xff\x05"))


def rec(tag, value=None):
    out = b"_" + tag.encode()
    if value is not None:
        out += value.encode() + b"\0"
    return out


def row(data):
    return rec("DL", str(len(data))) + data


head = b"$$ZRV Uni\0\0\0" + rec("MU", "1200") + rec("Rs", "200,200") + rec("Sz", "120,60")
put("zrv_uni", "bw.zrv", head + rec("Co", "1") + rec("BP") + rec("DS") + row(b"\xf0\x0f\x81")
    + rec("WL", "2") + row(b"\x01") + rec("EP") + rec("DS") + rec("WL", "20") + rec("EP"))
put("zrv_uni", "colour.zrv", b"$$ZRV Uni\0\0\0" + rec("MU", "100") + rec("Rs", "300,200")
    + rec("Sz", "4,2") + rec("Ro", "1") + rec("Co", "2") + rec("DS") + row(bytes(range(40))) + rec("EP"))


# Field-list files: a capacity byte (odd: with the trees) before the file.
def fld_image(left, number):
    return bytes(4) + struct.pack("<4hhh4hH", left, left + 1, left + 40, left + 20, number, 0, 1, 2, 3, 4, 0) \
        + bytes(range(32)) + bytes(16)


def fld_entry(left, blocks, children, lines):
    return struct.pack("<4hhh4hH", left, 2, left + 40, 30, 1, 1, 5, 6, 7, 8, 1) + bytes(range(32)) \
        + struct.pack("<HHH", blocks, children, lines)


def fld_char(left, code):
    return struct.pack("<6h", left, 2, left + 9, 30, code, 0)


lyt = struct.pack("<H", 2) + b"ab" + struct.pack("<HH", 0xBEEF, 1) + fld_image(10, 1) + struct.pack("<H", 1) \
    + fld_image(12, 0)
lyt += struct.pack("<H", 1) + fld_entry(100, 1, 1, 1) + fld_char(101, -1) \
    + struct.pack("<H", 1) + fld_entry(110, 0, 0, 0) \
    + struct.pack("<4hHii", 100, 2, 140, 30, 1, 7, -1) + fld_char(100, -32094)
lyt += struct.pack("<H", 0)
put("fld_file", "page.lyt", b"\x41" + lyt)
put("fld_file", "header-only.lyt", b"\x40" + lyt)

# Per-template files: header, attribute text, a line each way, one field
# record, then two character-kind blocks.
template = struct.pack("<4H", 2, 1, 1, 1) + bytes(24) + b"at" + struct.pack("<4h", 10, 90, 50, 1) \
    + struct.pack("<4h", 20, 5, 80, 1) + bytes(870)
template += struct.pack("<3h", 0, 2, 3) + bytes([1, 2, 4, 8, 0, 255]) + struct.pack("<3h", 1, 1, 2) + bytes([16, 32])
put("char_block", "template", template)
put("char_block", "ended", template + struct.pack("<3h", -1, 0, 0))

# Template table (first byte picks: 0 current, 1 earlier layout, 2 names
# records) and per-template files (0 current records, 1 467-byte, 2 875-byte).
def template_table(header, count):
    body = bytearray(11828)
    struct.pack_into("<HH", body, 0, 300, count)
    for s in range(count):
        body[128 + s] = 1 if s != 1 else 0xFE
        for k in range(11):
            struct.pack_into("<H", body, 428 + (k * 300 + s) * 2, 3 * s + k)
        body[7028 + 16 * s:7028 + 16 * s + 6] = b"%06d" % s
    return (b"layout 35".ljust(20, b"\0") if header else b"") + bytes(body)


def template_file(record_bytes, fields):
    out = struct.pack("<HHHH", 3, 1, 1, fields).ljust(32, b"\0") + b"abc"
    out += struct.pack("<hhhh", 10, 900, 50, 1) + struct.pack("<hhhh", 20, 40, 800, 1)
    for n in range(fields):
        record = bytearray(record_bytes)
        struct.pack_into("<hhhh", record, 0, 10 * n, 20, 300, 80)
        count_at = {870: 408, 467: 408, 875: 816}[record_bytes]
        struct.pack_into("<H", record, count_at, 2 + 30 * n)
        out += bytes(record)
    return out + struct.pack("<HHH", 0, 1, 2) + b"\x01\x02"


put("template_table", "current", b"\0" + template_table(True, 3))
put("template_table", "old", b"\1" + template_table(False, 2))
put("template_table", "names", b"\2" + b"".join(
    struct.pack("<ii", s, s % 2) + ("name%d" % s).encode().ljust(80, b"\0") for s in range(3)))
put("template_file", "current", b"\0" + template_file(870, 2))
put("template_file", "old16", b"\1" + template_file(467, 2))
put("template_file", "old32", b"\2" + template_file(875, 2))


def office(members):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in members:
            z.writestr(name, text)
    return out.getvalue()


W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
put("office_archive", "a.docx", office([
    ("word/document.xml", '<w:document %s><w:body><w:p><w:r><w:t>契約書</w:t></w:r><w:r><w:tab/>'
     '<w:t xml:space="preserve"> 本文</w:t></w:r></w:p></w:body></w:document>' % W),
    ("word/footer1.xml", '<w:ftr %s><w:p><w:r><w:t>1</w:t></w:r></w:p></w:ftr>' % W)]))
put("office_archive", "b.xlsx", office([
    ("xl/sharedStrings.xml", '<sst><si><t>見積</t><rPh><t>ミツモリ</t></rPh></si></sst>'),
    ("xl/worksheets/sheet1.xml", '<worksheet><sheetData><row><c t="s"><v>0</v></c><c><v>12</v></c>'
     '<c t="inlineStr"><is><t>x</t></is></c></row></sheetData></worksheet>')]))
put("office_archive", "c.pptx", office([
    ("ppt/slides/slide2.xml", '<p:sld xmlns:p="p" xmlns:a="a"><a:p><a:r><a:t>二</a:t></a:r></a:p></p:sld>'),
    ("ppt/slides/slide10.xml", '<p:sld xmlns:p="p" xmlns:a="a"><a:p><a:br/><a:r><a:t>十</a:t></a:r></a:p></p:sld>')]))
put("office_archive", "d.odt", office([
    ("mimetype", "application/vnd.oasis.opendocument.text"),
    ("content.xml", '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
     'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:text>'
     '<text:h>題</text:h><text:p>a<text:s text:c="3"/>b<text:tab/>c</text:p></office:text></office:body>'
     '</office:document-content>')]))
