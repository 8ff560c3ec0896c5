import sys

from orv.cli import main

sys.exit(main())
