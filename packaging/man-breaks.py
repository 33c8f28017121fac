#!/usr/bin/env python3
"""man-breaks.py IN OUT VERSION: a manual page in a language written without blanks (Japanese) made
ready for groff, which breaks lines only at blanks: a break point (\\:) after each such character of the
text, and lines filled without stretching the blanks; the version put in. The title and section lines and the NAME section stay as written, for the
readers of the whatis database.

Standard library only."""
import re
import sys

# Not before the marks that must not begin a line (closing brackets, stops, the long vowel, small kana).
WIDE = re.compile(r"([\u3000-\u30ff\u4e00-\u9fff\uff00-\uffef])(?=[^\n。、）」』ーッャュョァィゥェォっゃゅょ])")

source, target, version = sys.argv[1:4]
out = []
in_name = False
with open(source, encoding="utf-8") as f:
    for line in f:
        line = line.replace("@PROJECT_VERSION@", version)
        if line.startswith((".SH", ".SS")):
            in_name = line.split(None, 1)[1].strip() in ("名前", "NAME")
        elif not (line.startswith((".TH", '.\\"', ".class", ".cflags")) or in_name):
            line = WIDE.sub(lambda m: m.group(1) + "\\:", line.rstrip("\n")) + "\n"
        out.append(line)
        if line.startswith(".TH"):
            out.append(".ad l\n")
with open(target, "w", encoding="utf-8") as f:
    f.writelines(out)
