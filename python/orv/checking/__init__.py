"""Checking many levels: which files to check (``paths``), checking one level where it can
fail safely (``level``), the runners in this process, in worker processes (``local``) and on a
Dask cluster (``on_dask``), and the report files, lines and summary (``report``)."""
