# The package's compiled helpers (src/bindings/native), beyond orv_engine's public surface.

def decline_reason(kind: str, charges: list[tuple[float, str]], target: float = 0.0,
                   rule: str = "<") -> str:
    """Why an agent of ``kind`` (its display name) would not cast on ``charges`` (each a
    magnitude and a polarity text) as they stand; empty when its spell would take effect.
    A gate compares with ``target`` by ``rule``. ValueError for an unknown kind or polarity."""

def decline_reasons() -> dict[str, list[str]]:
    """Every reason of each kind, by display name, with the numbers it fills in as
    [placeholders]."""
