#!/usr/bin/env python3
"""Writes the table of pinyin initials of every CJK ideograph that the Unicode
Han database gives a Mandarin reading, as a C++ source the build compiles.

    make_pinyin_initials.py UNIHAN_READINGS OUTPUT.cpp

UNIHAN_READINGS is Unihan_Readings.txt, plain or .bz2 (Debian's unicode-data
ships /usr/share/unicode/Unihan_Readings.txt.bz2). A character's readings are
those of kMandarin first (the customary ones, in their order), then those of
kHanyuPinlu and kHanyuPinyin that add to them. Each reading gives its first
letter (ü counts as u, as it is typed); a character's initials are the set of
them, its first reading's letter apart, so that a name's usual initials come
first. The output holds two sorted arrays, code points and the initials of
each, with the letters a-z as bits 0-25 and the first reading's letter in
bits 26-30 (its index + 1).
"""
import bz2
import re
import sys
import unicodedata

FIELDS = ("kMandarin", "kHanyuPinlu", "kHanyuPinyin")


def first_letter(reading):
    """The letter a reading starts with, as typed: tone marks and the dots of
    ü taken off."""
    base = unicodedata.normalize("NFD", reading.strip())
    for ch in base:
        if "a" <= ch.lower() <= "z":
            return ch.lower()
    return None


def readings(field, value):
    if field == "kMandarin":
        return value.split()
    if field == "kHanyuPinlu":
        # "dé(3052) de(375)"
        return [re.sub(r"\(.*?\)", "", v) for v in value.split()]
    # kHanyuPinyin: "10019.020:tiàn 10020.030:tiān,tiǎn"
    out = []
    for part in value.split():
        out.extend(part.split(":", 1)[-1].split(","))
    return out


def read_table(path):
    opener = bz2.open if path.endswith(".bz2") else open
    table = {}
    with opener(path, "rt", encoding="utf-8") as f:
        for line in f:
            if not line.startswith("U+"):
                continue
            code, field, value = line.rstrip("\n").split("\t", 2)
            if field not in FIELDS:
                continue
            table.setdefault(int(code[2:], 16), {})[field] = value
    out = {}
    for cp, fields in table.items():
        letters = []
        for field in FIELDS:
            for r in readings(field, fields.get(field, "")):
                letter = first_letter(r)
                if letter and letter not in letters:
                    letters.append(letter)
        if letters:
            mask = 0
            for letter in letters:
                mask |= 1 << (ord(letter) - ord("a"))
            mask |= (ord(letters[0]) - ord("a") + 1) << 26
            out[cp] = mask
    return out


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    table = read_table(sys.argv[1])
    if len(table) < 20000:
        print(f"{sys.argv[1]}: only {len(table)} ideographs with a reading", file=sys.stderr)
        return 1
    codes = sorted(table)
    with open(sys.argv[2], "w", encoding="utf-8") as out:
        out.write("// Made by tools/make_pinyin_initials.py from the Unicode Han database; do not edit.\n")
        out.write('#include "platform/pinyin_initials_data.h"\n\n')
        out.write("namespace PinyinInitialsData {\n")
        out.write(f"const int count = {len(codes)};\n")
        out.write("const char32_t codes[] = {\n")
        for i in range(0, len(codes), 12):
            out.write("    " + ", ".join(f"0x{c:X}" for c in codes[i : i + 12]) + ",\n")
        out.write("};\nconst quint32 initials[] = {\n")
        for i in range(0, len(codes), 12):
            out.write("    " + ", ".join(f"0x{table[c]:X}" for c in codes[i : i + 12]) + ",\n")
        out.write("};\n}  // namespace PinyinInitialsData\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
