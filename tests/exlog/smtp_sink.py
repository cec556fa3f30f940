#!/usr/bin/python3
"""A real SMTP server for the logger's tests: aiosmtpd on 127.0.0.1.

    smtp_sink.py OUTDIR [USER PASSWORD]

Prints its port, then keeps every message it accepts: OUTDIR/N.eml as received, OUTDIR/N.txt with
what Python's email package reads in it (envelope, headers, one line per part), and each
attachment decoded as OUTDIR/N-<file name>. With USER and PASSWORD a login is required. Runs
until its standard input closes.
"""
import os
import socket
import sys
from email import message_from_bytes, policy

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

outdir = sys.argv[1]
credentials = (sys.argv[2].encode(), sys.argv[3].encode()) if len(sys.argv) > 3 else None


class Keeper:
    async def handle_DATA(self, server, session, envelope):
        n = len([f for f in os.listdir(outdir) if f.endswith(".eml")])
        raw = envelope.original_content
        with open(os.path.join(outdir, f"{n}.eml"), "wb") as f:
            f.write(raw)
        message = message_from_bytes(raw, policy=policy.default)
        lines = [f"mail-from={envelope.mail_from}", f"rcpt-to={','.join(envelope.rcpt_tos)}",
                 f"subject={message['Subject']}", f"from={message['From']}", f"to={message['To']}",
                 f"content-type={message.get_content_type()}", f"x-library={message['X-Library']}"]
        for part in message.iter_parts():
            name = part.get_filename()
            if name:
                with open(os.path.join(outdir, f"{n}-{name}"), "wb") as f:
                    f.write(part.get_payload(decode=True))
                lines.append(f"attachment={part.get_content_type()} {name}")
            else:
                lines.append(f"text={part.get_content_type()} {part.get_content().strip()!r}")
        with open(os.path.join(outdir, f"{n}.txt"), "w") as f:
            f.write("\n".join(lines) + "\n")
        return "250 OK"


def authenticate(server, session, envelope, mechanism, auth_data):
    accepted = isinstance(auth_data, LoginPassword) and (auth_data.login, auth_data.password) == credentials
    return AuthResult(success=accepted, handled=False)


with socket.socket() as probe:
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
controller = Controller(Keeper(), hostname="127.0.0.1", port=port, authenticator=authenticate,
                        auth_required=credentials is not None, auth_require_tls=False)
controller.start()
print(port, flush=True)
sys.stdin.read()
controller.stop()
