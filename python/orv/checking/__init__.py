"""Checking many levels: which files to check (``paths``), checking one level where it can
fail safely (``level``), the runners in this process, in worker processes (``local``) and on a
Dask cluster (``on_dask``, reaching it through ``dask_connection`` and setting up its local
workers with ``dask_plugins``), and the report files, lines and summary (``report``)."""
