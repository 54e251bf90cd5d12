"""Requests to lexorn-service as Lexorn makes them, each on a connection of its own."""

import http.client
import time
import urllib.parse

USER, PASSWORD = "demo@lexorn.example", "demo-password"  # service/demo.ini's account


def request(port, path, source="127.0.0.1", method="GET", body=None, timeout=30):
    """(status, seconds, body) of one request on a connection of its own; status 0: no answer."""
    started = time.monotonic()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout,
                                            source_address=(source, 0))
    try:
        headers = {"Content-Type": "application/x-www-form-urlencoded"} if body else {}
        connection.request(method, path, body=body, headers=headers)
        answer = connection.getresponse()
        data = answer.read()
        return answer.status, time.monotonic() - started, data
    except OSError:
        return 0, time.monotonic() - started, b""
    finally:
        connection.close()


def translate_path(text):
    return "/lexorn/translate.php?src=en&dest=es&text=" + urllib.parse.quote(text)


def signin_path(password, user=USER):
    return ("/lexorn/settings.php?version=1.0.1&username=" + urllib.parse.quote(user) +
            "&password=" + urllib.parse.quote(password))


def report_body(text):
    """A banner report's form, as Lexorn posts it to /lexorn/banner.php."""
    return urllib.parse.urlencode({"userid": "1", "src_lang": "en", "dest_lang": "es",
                                   "text": text})
