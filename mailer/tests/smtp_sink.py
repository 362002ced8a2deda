"""A local SMTP server for the mailer's tests and benchmarks.

Usage: smtp_sink.py HOST PORT OUTDIR   (PORT 0: a free port)

Accepts every message and saves, for the n-th message (from 1): n.eml, the exact bytes of
the DATA content (after the transparency dots are removed), and n.json, its envelope
(HELO name, MAIL FROM, RCPT TO) with what Python's email package reads in it: headers,
defects, the body text and each attachment's file name and decoded bytes (Base64).
Prints "READY <port>" once it listens, and runs until its standard input closes.
"""
import base64
import email
import email.policy
import json
import os
import socket
import sys
import threading

from aiosmtpd.controller import Controller


def summary(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    parts = []
    body = None
    for part in msg.walk():
        if part.is_multipart():
            continue
        filename = part.get_filename()
        if filename is not None or part.get_content_disposition() == 'attachment':
            payload = part.get_payload(decode=True) or b''
            parts.append({'filename': filename,
                          'content_type': part.get_content_type(),
                          'data': base64.b64encode(payload).decode('ascii')})
        elif body is None and part.get_content_type() == 'text/plain':
            payload = part.get_payload(decode=True) or b''
            charset = part.get_content_charset() or 'ascii'
            body = payload.decode(charset, errors='replace')
    defects = [type(d).__name__ for d in msg.defects]
    for part in msg.walk():
        defects += [type(d).__name__ for d in part.defects]
    return {
        'from': str(msg['From']) if msg['From'] is not None else None,
        'to': str(msg['To']) if msg['To'] is not None else None,
        'subject': str(msg['Subject']) if msg['Subject'] is not None else None,
        'date': str(msg['Date']) if msg['Date'] is not None else None,
        'date_valid': msg['Date'] is not None and msg['Date'].datetime is not None,
        'message_id': str(msg['Message-ID']) if msg['Message-ID'] is not None else None,
        'content_type': msg.get_content_type(),
        'body': body,
        'attachments': parts,
        'defects': defects,
    }


class Saver:
    def __init__(self, outdir):
        self.outdir = outdir
        self.count = 0
        self.lock = threading.Lock()

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content
        with self.lock:
            self.count += 1
            n = self.count
        base = os.path.join(self.outdir, str(n))
        info = {'helo': session.host_name, 'mail_from': envelope.mail_from,
                'rcpt_tos': list(envelope.rcpt_tos)}
        try:
            info.update(summary(raw))
        except Exception as e:  # the raw bytes are saved all the same
            info['parse_error'] = repr(e)
        with open(base + '.eml.tmp', 'wb') as f:
            f.write(raw)
        os.rename(base + '.eml.tmp', base + '.eml')
        with open(base + '.json.tmp', 'w') as f:
            json.dump(info, f)
        os.rename(base + '.json.tmp', base + '.json')
        return '250 Message accepted for delivery'


def main():
    host, port, outdir = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    if port == 0:
        # The controller needs to know its port before it listens: take a free one.
        with socket.socket() as probe:
            probe.bind((host, 0))
            port = probe.getsockname()[1]
    controller = Controller(Saver(outdir), hostname=host, port=port,
                            data_size_limit=0, ready_timeout=10)
    controller.start()
    print('READY %d' % controller.port, flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == '__main__':
    main()
