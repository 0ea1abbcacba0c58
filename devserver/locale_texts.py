"""The demo locale's texts, read from the same file the client's locale archive is made of
(content/locale/english.tsv: KEY<TAB>KIND<TAB>VALUE, with the escapes \\t \\n \\\\), so the
server expects exactly the credential texts the client sends."""
import os

LOCALE_FILE = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'content', 'locale',
                           'english.tsv')
CREDENTIAL_PREFIX = 0x038D8B88
CREDENTIAL_SEPARATOR = 0x13F47486


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == '\\' and i + 1 < len(text) and text[i + 1] in 'tn\\':
            out.append({'t': '\t', 'n': '\n', '\\': '\\'}[text[i + 1]])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return ''.join(out)


def read_texts(path=LOCALE_FILE):
    """{key: text} of the lines whose key is written 0x... and whose kind is text."""
    texts = {}
    with open(path, encoding='utf-8') as f:
        for line in f:
            line = line.rstrip('\n')
            if not line.startswith('0x'):
                continue
            parts = line.split('\t', 2)
            if len(parts) == 3 and parts[1] == 'text':
                texts[int(parts[0], 16)] = unescape(parts[2])
    return texts


def credential_texts(path=LOCALE_FILE):
    """(prefix, separator) as the client builds them: an absent prefix is empty, an absent
    separator a line feed."""
    texts = read_texts(path)
    return texts.get(CREDENTIAL_PREFIX, ''), texts.get(CREDENTIAL_SEPARATOR, '\n')
