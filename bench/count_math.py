"""The spell-only native puzzle search of bench_math.py, for counting instructions.

Run under callgrind twice and subtract the run with no placements (the interpreter's start and
the search's set-up):

    valgrind --tool=callgrind --callgrind-out-file=/dev/null \
        .venv/bin/python bench/count_math.py {0,20000}

Each size of the hand (0 to 7 agents) searches its first N placements (all of them when it has
fewer), as bench_math.py's third measurement does with all of them.
"""

import sys

from bench_math import SEARCH_HAND, spell_search


def main() -> int:
    limit = int(sys.argv[1])
    search = spell_search()
    for size in range(len(SEARCH_HAND) + 1):
        search.search(size, 0, min(limit, search.placement_count(size)), 0)
    return 0


if __name__ == "__main__":
    sys.exit(main())
