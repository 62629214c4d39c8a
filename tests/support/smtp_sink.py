#!/usr/bin/python3
"""An SMTP server for tests and the benchmark, on 127.0.0.1 and a free port.

Prints the port on the first line of its output, then serves until killed.
With --out, every accepted message is kept as N.eml with N.json beside it:
the envelope, whether TLS was up, and what Python's own e-mail parser reads
from the message (decoded headers, body, attachments written as N-K.bin).
Sign-in attempts are appended to auth.jsonl in the same folder.
"""
import argparse
import asyncio
import email
import email.policy
import json
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


def parse_args():
    p = argparse.ArgumentParser()
    p.add_argument("--out", help="folder for the messages; none keeps nothing")
    p.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"), help="offer STARTTLS")
    p.add_argument("--require-tls", action="store_true", help="refuse mail before STARTTLS")
    p.add_argument("--auth", action="store_true", help="offer AUTH even without TLS")
    p.add_argument("--auth-required", action="store_true", help="refuse MAIL before AUTH")
    p.add_argument("--refuse", action="append", default=[], help="a recipient to refuse with 550")
    p.add_argument("--drop-data-once", action="store_true", help="hang up during the first DATA")
    p.add_argument("--stall-once", action="store_true", help="never answer the first message")
    return p.parse_args()


ARGS = parse_args()


def write_json(path, value):
    with open(path + ".tmp", "w", encoding="utf-8") as f:
        json.dump(value, f, ensure_ascii=False)
    os.replace(path + ".tmp", path)


def summary(content, number):
    msg = email.message_from_bytes(content, policy=email.policy.default)
    body = msg.get_body(("plain",))
    attachments = []
    for k, part in enumerate(msg.iter_attachments()):
        name = "%d-%d.bin" % (number, k)
        with open(os.path.join(ARGS.out, name), "wb") as f:
            f.write(part.get_content())
        attachments.append({"name": part.get_filename(), "type": part.get_content_type(), "file": name})
    return {
        "headers": [key for key in msg.keys()],
        "subject": str(msg.get("subject", "")),
        "from": str(msg.get("from", "")),
        "to": str(msg.get("to", "")),
        "cc": str(msg.get("cc", "")),
        "body": body.get_content() if body is not None else None,
        "attachments": attachments,
        "longest_line": max(len(line) for line in content.split(b"\r\n")),
        "defects": len(msg.defects),
    }


class Handler:
    def __init__(self):
        self.count = 0
        self.stall = ARGS.stall_once

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in ARGS.refuse:
            return "550 5.1.1 No such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.stall:
            self.stall = False
            await asyncio.sleep(3600)
        if ARGS.out:
            self.count += 1
            base = os.path.join(ARGS.out, str(self.count))
            with open(base + ".eml", "wb") as f:
                f.write(envelope.original_content)
            record = {
                "mail_from": envelope.mail_from,
                "rcpt_tos": envelope.rcpt_tos,
                "tls": session.ssl is not None,
            }
            record.update(summary(envelope.original_content, self.count))
            write_json(base + ".json", record)
        return "250 Message accepted for delivery"


def authenticator(server, session, envelope, mechanism, auth_data):
    if ARGS.out:
        line = {
            "mechanism": mechanism,
            "user": auth_data.login.decode("utf-8", "replace"),
            "password": auth_data.password.decode("utf-8", "replace"),
            "tls": session.ssl is not None,
        }
        with open(os.path.join(ARGS.out, "auth.jsonl"), "a", encoding="utf-8") as f:
            f.write(json.dumps(line) + "\n")
    return AuthResult(success=True)


class Sink(SMTP):
    drop_next_data = ARGS.drop_data_once

    async def smtp_DATA(self, arg):
        if Sink.drop_next_data and self.envelope.rcpt_tos:
            Sink.drop_next_data = False
            await self.push("354 End data with <CR><LF>.<CR><LF>")
            await self._reader.readline()
            self.transport.close()
            return
        await super().smtp_DATA(arg)


def main():
    context = None
    if ARGS.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(ARGS.tls[0], ARGS.tls[1])
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    handler = Handler()

    def factory():
        return Sink(handler, hostname="sink.lumora.test", data_size_limit=None, tls_context=context,
                    require_starttls=ARGS.require_tls, auth_require_tls=not ARGS.auth,
                    auth_required=ARGS.auth_required, authenticator=authenticator, loop=loop)

    server = loop.run_until_complete(loop.create_server(factory, host="127.0.0.1", port=0))
    print(server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    sys.exit(main())
