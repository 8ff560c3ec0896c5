"""Checking many levels: which files to check (``paths``), checking one level where it can
fail safely (``level``), checking them in batches on any runner of ``orv.running`` (``runs``:
in this process, in worker processes or on a Dask cluster), and the report files, lines and
summary (``report``)."""
