#!/usr/bin/env python3
"""Parses a MIME HTML file with Python's email package and prints one line
per leaf part: content type, Content-Location decoded from its encoded
words (without the blank that follows them), and the decoded payload in hex.
The separator line that ends the file opens an empty last part, which
carries nothing and is left out. Exit status 1 when the parser finds the
message not multipart."""
import sys
from email import message_from_bytes, policy
from email.header import decode_header, make_header

with open(sys.argv[1], "rb") as f:
    message = message_from_bytes(f.read(), policy=policy.compat32)
if not message.is_multipart():
    sys.exit(1)
for part in message.walk():
    if part.is_multipart():
        continue
    payload = part.get_payload(decode=True)
    if not part.keys() and not payload:
        continue
    location = str(make_header(decode_header(part["Content-Location"]))).strip()
    print(part.get_content_type(), location, payload.hex(), sep="\t")
