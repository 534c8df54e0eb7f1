# Reading cases for the private-profile oracle: (what, file bytes, section, key).
L = 10239


def g(s):
    return s.encode("gbk")


CASES = [
    ("plain", b"[s]\r\nk=v\r\n", b"s", b"k"),
    ("GBK names", g("[商品监控]\r\n商品编号=北京-1\r\n"), g("商品监控"), g("商品编号")),
    ("missing section", b"[t]\r\nk=v\r\n", b"s", b"k"),
    ("key of another section", b"[s]\r\nj=1\r\n[t]\r\nk=2\r\n", b"s", b"k"),
    ("key before any section", b"k=0\r\n[s]\r\n", b"s", b"k"),
    ("empty value", b"[s]\r\nk=\r\n", b"s", b"k"),
    ("key line without =", b"[s]\r\nk\r\n", b"s", b"k"),
    ("blanks trimmed", b"[s]\r\nk = \t a b \t \r\n", b"s", b"k"),
    ("VT and FF trimmed", b"[s]\r\nk\x0b=\x0c v\x0b\r\n", b"s", b"k"),
    ("ideographic spaces kept", b"[s]\r\nk=" + g("\u3000a\u3000") + b"\r\n", b"s", b"k"),
    ("double quotes", b"[s]\r\nk=\"  pass word \"\r\n", b"s", b"k"),
    ("single quotes", b"[s]\r\nk='x'\r\n", b"s", b"k"),
    ("one pair only", b"[s]\r\nk=\"\"x\"\"\r\n", b"s", b"k"),
    ("mixed quotes", b"[s]\r\nk=\"x'\r\n", b"s", b"k"),
    ("lone quote", b"[s]\r\nk=\"\r\n", b"s", b"k"),
    ("empty quotes", b"[s]\r\nk=\"\"\r\n", b"s", b"k"),
    ("first = splits", b"[s]\r\nk=a=b\r\n", b"s", b"k"),
    ("duplicate keys", b"[s]\r\nk=1\r\nk=2\r\n", b"s", b"k"),
    ("duplicate sections", b"[s]\r\nj=1\r\n[s]\r\nk=2\r\n", b"s", b"k"),
    ("section case", b"[SeCt]\r\nk=v\r\n", b"sEcT", b"k"),
    ("key case", b"[s]\r\nKeY=v\r\n", b"s", b"kEy"),
    ("GBK second byte is no letter", b"[s]\r\n\x81a=v\r\n", b"s", b"\x81A"),
    ("spaces inside brackets", b"[  s \t]\r\nk=v\r\n", b"s", b"k"),
    ("spaces around brackets", b"  [s]  \r\nk=v\r\n", b"s", b"k"),
    ("text after ]", b"[s] ; note\r\nk=v\r\n", b"s", b"k"),
    ("no ]", b"[s\r\nk=v\r\n", b"s", b"k"),
    ("last ] closes", b"[a]b]\r\nk=v\r\n", b"a]b", b"k"),
    ("names given with blanks", b"[s]\r\nk=v\r\n", b"  s ", b" k  "),
    ("LF ends", b"[s]\nj=1\nk=v\n", b"s", b"k"),
    ("CR ends", b"[s]\rj=1\rk=v\r", b"s", b"k"),
    ("last line without end", b"[s]\r\nk=v", b"s", b"k"),
    ("comments", b";c=1\r\n\r\n[s]\r\n; k=no\r\n\r\nk=v\r\n", b"s", b"k"),
    ("zero byte", b"[s]\r\nk=ab\x00cd\r\n", b"s", b"k"),
    ("no GBK", b"[s]\r\nk=a\x80b\xff\r\n", b"s", b"k"),
    ("at the limit", b"[s]\r\nk=" + b"y" * L + b"\r\n", b"s", b"k"),
    ("over the limit", b"[s]\r\nk=" + b"x" * (L + 5) + b"\r\n", b"s", b"k"),
    ("cut before a two-byte character", b"[s]\r\nk=" + b"z" * (L - 1) + g("中") + b"\r\n", b"s", b"k"),
    ("quoted, one below the limit", b"[s]\r\nk=\"" + b"y" * (L - 1) + b"\"\r\n", b"s", b"k"),
    ("quoted, over the limit", b"[s]\r\nk=\"" + b"y" * (L + 3) + b"\"\r\n", b"s", b"k"),
]
