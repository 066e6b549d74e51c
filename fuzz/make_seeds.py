#!/usr/bin/python3
"""Makes the seed corpora of the fuzz targets (fuzz/corpus/<target>/) from the
project's own fixtures, samples and the tests' examples. Only this script
writes them; scripts/fuzz copies them into a working corpus and never changes
them.

    fuzz/make_seeds.py
"""
import io
import os
import shutil
import struct
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
FIXTURES = os.path.join(ROOT, "tests", "tailoring", "fixtures")
DATA = os.path.join(ROOT, "data")
SEPARATOR = b"\n=====\n"

FRAME_SIZE = 1286
ADAPTER = bytes.fromhex("001a2b3c4d5e")
JOB_DEVICE = bytes.fromhex("c83a35a1b2c3")
OTHER_DEVICE = bytes.fromhex("c83a35000001")


def read(*path):
    with open(os.path.join(*path), "rb") as f:
        return f.read()


def frame(destination, source, category, opcode, sequence=0, texts=None, payload=b""):
    data = bytearray(FRAME_SIZE)
    data[0:6] = destination
    data[6:12] = source
    struct.pack_into(">HHHHH", data, 12, 0x6262, category, sequence, opcode, 1)
    for (offset, width), text in zip(((22, 34), (56, 34), (90, 66), (156, 66)), texts or ()):
        data[offset:offset + min(width, len(text))] = text[:width]
    if payload:
        data[260:260 + len(payload)] = payload
        struct.pack_into(">H", data, 1284, len(payload))
    return bytes(data)


def frames(*items):
    """Frames one after the other; the last loses its trailing zeros (the
    harnesses fill a short last frame with zeros)."""
    joined = b"".join(items)
    return joined.rstrip(b"\0") or b"\0"


def response(source, texts):
    return frame(ADAPTER, source, 0, 4, texts=texts)


def ack(category, sequence):
    return frame(ADAPTER, JOB_DEVICE, category, 4, sequence)


def result(source, category, opcode):
    return frame(ADAPTER, source, category, opcode)


def zip_parts(archive):
    with zipfile.ZipFile(io.BytesIO(archive)) as z:
        return {name: z.read(name) for name in z.namelist()}


WORKBOOK_PARTS = ["[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                  "xl/_rels/workbook.xml.rels", "xl/worksheets/sheet1.xml",
                  "xl/sharedStrings.xml"]
FIXTURE_TEMPLATE = b"vid1=100\nChannelMode1=2\nvid2=0\nwanCount=2\ndualBand=1"


def split_workbook(archive, template=None):
    parts = zip_parts(archive)
    # The reader never looks at the content types: left empty, the harness's own.
    parts.pop("[Content_Types].xml", None)
    texts = [parts.get(name, b"") for name in WORKBOOK_PARTS]
    if template is not None:
        texts.append(template)
    return SEPARATOR.join(texts)


# The row of the tailoring tests, in the harnesses' row text.
TEST_ROW = (b"mac=C8:3A:35:A1:B2:C3\nWanName1=1_INTERNET_R_VID_100\nvid1=200\npppUser1=u1\n"
            b"pppPassword1=p1\nWanName2=2_TR069_R_VID\nWanName3=3_VOIP_R_VID_300\nvid3=301\n"
            b"wanCount=3\nssid_5g=S5\nwlanPsk_5g=K5k5k5k5\nssid_2.4g=S24\nwlanPsk_2.4g=K24k24k24\n"
            b"loid=L1\nloidPassword=LP1\nploamPassword=PL1\nloginPassword=admin1")


def seeds():
    response_texts = [b"two-2G", b"two-5G", b"key two", b"key two 5"]
    full_texts = [b"N" * 34, b"", b"k" * 66, b"k5"]
    yield "received_frames", {
        "discovery_response": frames(response(OTHER_DEVICE, response_texts)),
        "full_width_texts": frames(response(OTHER_DEVICE, full_texts)),
        "job_device_answers": frames(response(JOB_DEVICE, response_texts), ack(1, 1),
                                     result(JOB_DEVICE, 1, 6)),
        "results_of_every_kind": frames(result(OTHER_DEVICE, 1, 5), result(OTHER_DEVICE, 2, 8),
                                        result(OTHER_DEVICE, 3, 9), result(OTHER_DEVICE, 3, 10)),
        "group_and_zero_sources": frames(response(bytes.fromhex("01005e000001"), response_texts),
                                         response(bytes(6), response_texts),
                                         response(OTHER_DEVICE, response_texts)),
        "request_and_mismatched_result": frames(frame(bytes(b"\xff" * 6), ADAPTER, 0, 1),
                                                result(OTHER_DEVICE, 1, 8)),
    }

    def control(transfer, answers, file_index, down=False):
        return bytes([transfer | answers << 2 | file_index << 4 | (0x80 if down else 0)])

    yield "delivery_ack", {
        # Files: 0, 1, 1024, 1025, 2500 and 3072 bytes, a missing one, a folder.
        "config_three_chunks": control(0, 1, 4) + frames(ack(1, 1), ack(1, 2), ack(1, 3)),
        "logo_acknowledged_by_ffff": control(1, 1, 3) + frames(ack(2, 0xFFFF), ack(2, 0xFFFF)),
        "both_second_transfer_empty_file": control(2, 1, 0) + frames(ack(1, 1)),
        "command": control(3, 1, 0) + frames(ack(3, 1)),
        "mismatch_then_ack": control(0, 2, 2) + frames(result(JOB_DEVICE, 1, 6), ack(1, 1)),
        "stale_acks_and_silence": control(0, 3, 5) + frames(ack(1, 1), ack(1, 1), ack(1, 2)),
        "link_down": control(0, 1, 1, down=True),
        "missing_file": control(1, 1, 6) + frames(ack(2, 1)),
    }

    yield "ini_document", {
        "setting": read(DATA, "Setting.ini"),
        "language_map": read(DATA, "Languages", "Language.ini"),
        "templates": (b"[off]\r\nACName=\r\nPrimaryDns=\r\nSecondaryDns=\r\nSwitchOn=0\r\n\r\n"
                      b"[site A]\r\nACName=ac\r\nPrimaryDns=e.g. 8.8.8.8\r\n"
                      b"SecondaryDns=1.1.1.1\r\nSwitchOn=1\r\n\r\n"),
        "comments_and_trimming": (b"; header comment\n[tpl]\nSwitchOn=1\n  name = a b  \n"
                                  b"\tk\t=\tv\t\na=b=c\n=x\nkey=\n\n# x\n[]\nlost=1\n"),
        "duplicate_section": b"[x]\na=1\n; c\n\n[y]\nb=2\n[x]\nc=3\n",
        "crlf_and_last_line_without_end": b"[s]\r\nk=v\r\n[t]\r\nw=x\r",
    }

    yield "language_pack", {
        "chinese": read(DATA, "Languages", "Chinese.lng"),
        "language_map": read(DATA, "Languages", "Language.ini"),
        "quotes_case_and_bom": (b"\xef\xbb\xbf[ProgramOutStr]\nNOTE=\"x, y\"\nnote=second\n"
                                b"Operate success='z'\nc=\"open\n[LCID]\n2052=Chinese\n"),
        "markers_and_surrogates": ("[ProgramOutStr]\nNote=a\\r\\nb\\nc[~Null~]d[~NullInfoChrys~]e"
                                   "\U0001F600\u4e2d\nOperate success=\u00e9").encode(),
    }

    yield "xml_config", {
        "single_band": read(FIXTURES, "config_single.xml") + SEPARATOR + TEST_ROW,
        "dual_band": read(FIXTURES, "config_dual.xml") + SEPARATOR + TEST_ROW,
        "sample_gateway": read(DATA, "samples", "gateway.xml") + SEPARATOR +
                          b"mac=C8:3A:35:A1:B2:C3\nploamPassword=a&b<c>\"d\\x01\nloid=\nloidPassword=x",
        "no_columns": read(FIXTURES, "config_single.xml"),
    }

    yield "json_config", {
        "fixture": read(FIXTURES, "config.json") + SEPARATOR + TEST_ROW,
        "sample_gateway": read(DATA, "samples", "gateway.json") + SEPARATOR + TEST_ROW,
        "comments_and_numbers": (b"// top\n{\"REMOTEMGT_LOID_REG_ATTR_TAB\": [{\"aucLoidName\": 7}],"
                                 b" /* c */ \"REMOTEMGT_PASSWORD_REG_ATTR_TAB\": null,\n"
                                 b"\"SYSMNG_ACCOUNT_ATTR_TAB\": [{\"aucUserAccountPassword\": null}],"
                                 b"\"WLAN_SSID_ATTR_CFG_TAB\": [{\"aucSSIDName\": \"a\"}, 1.5, true],"
                                 b"\"WAN_CONNECTION_ATTR_TAB\": [{\"aucWanName\": \"w\","
                                 b" \"ulVlanIdMark\": 18446744073709551615, \"ucAddressingType\": 3}]}"
                                 + SEPARATOR + b"loid=123\nloginPassword=x\nvid1=77\nWanName1=n"),
    }

    yield "xlsx_sheet", {
        "openpyxl_sheet.xlsx": read(FIXTURES, "openpyxl_sheet.xlsx"),
        "libreoffice_sheet.xlsx": read(FIXTURES, "libreoffice_sheet.xlsx"),
        "openpyxl_cells.xlsx": read(FIXTURES, "openpyxl_cells.xlsx"),
        "libreoffice_cells.xlsx": read(FIXTURES, "libreoffice_cells.xlsx"),
        "openpyxl_sheet_parts": split_workbook(read(FIXTURES, "openpyxl_sheet.xlsx"),
                                               FIXTURE_TEMPLATE),
        "libreoffice_sheet_parts": split_workbook(read(FIXTURES, "libreoffice_sheet.xlsx")),
        "libreoffice_cells_parts": split_workbook(read(FIXTURES, "libreoffice_cells.xlsx")),
        "default_workbook": SEPARATOR * 6 + b"vid1=100\nChannelMode1=2\nvid2=0\ndualBand=1",
    }

    row = b"mac=C8:3A:35:00:00:01\nloid=loid1\nloidPassword=lp1\nloginPassword=admin1"
    yield "antitheft_fields", {
        "switch_on": b"1\nLock123\nLock123\nac one\n8.8.8.8\n1.1.1.1" + SEPARATOR + TEST_ROW,
        "switch_off": b"0\nLock123\n\n\n\n" + SEPARATOR + row,
        "placeholders_and_ipv6": b"1\nabc\nabc\nac\n::1" + SEPARATOR + row + b"\nvid1=4095",
        "bad_entries": b"1\na b\na\\x22b\nac\\\\x\n256.1.1.1\n1.2.3" + SEPARATOR +
                       b"ssid_5g=my net\nwlanPsk_5g=short\npppUser1=\npppPassword1=paren(",
    }

    nul = b"\0"
    yield "cli_arguments", {
        "deliver": nul.join([b"deliver", b"--adapter", b"e0", b"--devices",
                             b"C8:3A:35:A1:B2:C3,c8:3a:35:a1:b2:c4,C8:3A:35:A1:B2:C3",
                             b"--config=c.xml", b"--sheet", b"s.xlsx", b"--watch", b"5",
                             b"--tick-ms", b"100", b"--json", b"--quiet"]),
        "antitheft": nul.join([b"antitheft", b"--adapter", b"e0", b"--all", b"--lock-code", b"abc",
                               b"--on", b"--ac-name", b"x y", b"--dns1", b"::1",
                               b"--template", b"site A", b"--csv", b"r.csv"]),
        "template": nul.join([b"template", b"save", b" padded ", b"--off", b"--json"]),
        "errors": nul.join([b"deliver", b"--adapter", b"e0", b"--all", b"--logo", b"a",
                            b"--logo", b"b", b"--watch", b"5s", b"--on", b"--off"]),
        "help": nul.join([b"help", b"template", b"save"]),
    }


def main():
    for target, files in seeds():
        folder = os.path.join(HERE, "corpus", target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, data in files.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
