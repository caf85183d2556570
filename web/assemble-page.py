#!/usr/bin/env python3
"""Makes the page one self-contained file: the template with its style and scripts inline, and a
Content-Security-Policy that lets run exactly these scripts and this style, compile their
WebAssembly, and load nothing from anywhere.

  assemble-page.py TEMPLATE STYLE OUTPUT SCRIPT...   (scripts in the order they run)
"""
import base64, hashlib, sys

template, style, output, *scripts = sys.argv[1:]


def read(path):
    with open(path, encoding='utf-8') as f:
        return f.read()


def digest(text):
    return "'sha256-" + base64.b64encode(hashlib.sha256(text.encode('utf-8')).digest()).decode() + "'"


bodies = [read(path) for path in scripts]
for path, body in zip(scripts, bodies):
    if '</script' in body.lower():
        sys.exit(f'{path}: holds "</script", which would end its element early')
css = read(style)
policy = ("default-src 'none'; script-src " + ' '.join(digest(body) for body in bodies) +
          " 'wasm-unsafe-eval'; style-src " + digest(css) +
          "; img-src data:; base-uri 'none'; form-action 'none'"
          # The WebAssembly travels inside the page and is read back from its data: address.
          "; connect-src data:")
page = read(template)
for mark, text in (('@CSP@', policy), ('@STYLE@', css),
                   ('@SCRIPTS@', '\n'.join(f'<script>{body}</script>' for body in bodies))):
    if page.count(mark) != 1:
        sys.exit(f'{template}: {mark} must stand exactly once')
    page = page.replace(mark, text)
with open(output, 'w', encoding='utf-8', newline='\n') as f:
    f.write(page)
