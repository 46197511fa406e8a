#!/usr/bin/env python3
"""Fills the English plural forms of a Qt Linguist .ts file.

After `cmake --build <dir> --target update_translations` has added new
messages with %n, run this on resources/translations/pantrio_en.ts: each
unfinished numerus message gets its two English forms, "(s)" dropped for one
and made "s" for every other count. Forms a person has written are kept.
"""
import sys
import xml.etree.ElementTree as ET


def forms(source):
    return [source.replace("(s)", ""), source.replace("(s)", "s")]


def main(path):
    tree = ET.parse(path)
    filled = 0
    for message in tree.iter("message"):
        if message.get("numerus") != "yes":
            continue
        translation = message.find("translation")
        numerus = translation.findall("numerusform")
        if translation.get("type") != "unfinished" and all(n.text for n in numerus):
            continue
        for node, text in zip(numerus, forms(message.find("source").text)):
            node.text = text
        translation.attrib.pop("type", None)
        filled += 1
    body = ET.tostring(tree.getroot(), encoding="unicode")
    with open(path, "w", encoding="utf-8") as out:
        out.write('<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n' + body + "\n")
    print("%d message(s) filled" % filled)


if __name__ == "__main__":
    main(sys.argv[1])
