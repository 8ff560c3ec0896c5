"""The ``orv`` command line: one module per command, each adding its parser and running it,
and the progress display they share. The commands only parse and print; the work lives in the
other subpackages, where a notebook or a test can call it."""
