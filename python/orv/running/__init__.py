"""Running units of work in this process, in worker processes or on a Dask cluster, for
``orv check`` and ``orv solve`` alike: ``runners`` (this process and a process pool, and what a
run hands back), ``on_dask`` (the same on a Dask cluster), ``choice`` (the one place that picks
the runner from --jobs and --scheduler), ``dask_connection`` (reaching a scheduler, or starting
a local cluster whose workers ``dask_plugins`` sets up) and ``dask_logs`` (Dask's own log
lines, held back while a run uses it)."""
