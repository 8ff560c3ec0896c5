"""What keeps the studio's server to its own page: it can write the level file, so it
answers only requests that carry the run's key, that name one of its own addresses as their
host, and that come from its own page's origin.

A page of another site that the user has open cannot learn the key: the server sends no
CORS headers, so that page can read none of its answers, and a request with the key's header
from another origin needs a preflight, which fails. The host check stops a name that resolves
to 127.0.0.1 (DNS rebinding) from being treated as the studio's own origin.
"""

from __future__ import annotations

import ipaddress
import secrets
import sys
from collections.abc import Awaitable, Callable

from aiohttp import web

TOKEN_HEADER = "X-Orv-Token"
SECURITY_HEADERS = {
    # The page's scripts and styles are inline; it loads nothing from anywhere. The browser
    # engine compiles its inlined WebAssembly ('wasm-unsafe-eval') and its bindings build their
    # calls with new Function ('unsafe-eval').
    "Content-Security-Policy": "default-src 'none'; script-src 'unsafe-inline' "
                               "'unsafe-eval' 'wasm-unsafe-eval'; "
                               "style-src 'unsafe-inline'; connect-src 'self'; "
                               "img-src data:; base-uri 'none'; form-action 'none'; "
                               "frame-ancestors 'none'",
    "Referrer-Policy": "no-referrer",
    "X-Content-Type-Options": "nosniff",
    "Cache-Control": "no-store",
}
LOOPBACK_NAMES = ("localhost",)

Handler = Callable[[web.Request], Awaitable[web.StreamResponse]]


def is_loopback(host: str) -> bool:
    if host in LOOPBACK_NAMES:
        return True
    try:
        return ipaddress.ip_address(host).is_loopback
    except ValueError:
        return False


def own_hosts(host: str, port: int) -> frozenset[str] | None:
    """The Host headers that name the server, or None (any) when it listens beyond the
    loopback, where the machine may have names of its own; the key still guards it."""
    if not is_loopback(host):
        return None
    names = {host, "localhost", "127.0.0.1", "[::1]"}
    return frozenset(f"[{name}]:{port}" if ":" in name and not name.startswith("[")
                     else f"{name}:{port}" for name in names)


def refusal(request: web.Request, status: int, reason: str) -> web.Response:
    if request.path.startswith("/api/"):
        return web.json_response({"error": reason}, status=status)
    return web.Response(text=f"orv studio: {reason}\n", status=status)


def guard(token: str, hosts: frozenset[str] | None) -> Callable[..., Awaitable[web.StreamResponse]]:
    """The middleware that refuses every request that is not the studio page's own."""

    @web.middleware
    async def check(request: web.Request, handler: Handler) -> web.StreamResponse:
        if hosts is not None and request.host not in hosts:
            return refusal(request, 403, f"this server does not answer for {request.host!r}")
        origin = request.headers.get("Origin")
        if request.method != "GET" and origin not in (None, f"http://{request.host}"):
            return refusal(request, 403, "requests from other sites are refused")
        given = (request.headers.get(TOKEN_HEADER) if request.method != "GET"
                 else request.query.get("token")) or ""
        if not secrets.compare_digest(given.encode(), token.encode()):
            return refusal(request, 403, "open the address that orv studio printed: it "
                                         "holds the key of this run")
        try:
            return await handler(request)
        except web.HTTPException as error:
            # aiohttp's own refusals (a body too large, an unknown path) as the page reads them.
            return refusal(request, error.status, error.reason)
        except Exception as error:  # noqa: BLE001 - one line for the user, not a traceback
            print(f"orv studio: {request.method} {request.path} failed: "
                  f"{type(error).__name__}: {error}", file=sys.stderr)
            return refusal(request, 500, f"the studio failed: {type(error).__name__}: {error}")

    return check


async def add_security_headers(request: web.Request, response: web.StreamResponse) -> None:
    response.headers.update(SECURITY_HEADERS)
