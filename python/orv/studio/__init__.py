"""The studio: a level edited and played again in the browser, served from this machine.

``level_file`` keeps the level file that the studio edits (its revisions on disk and safe
saving), ``replay`` plays an edited level for the page, ``page`` builds the viewer page with
the editing panel (``studio.html``, ``studio.css``, ``studio.js``), and ``server`` serves it
with aiohttp and watches the file with watchfiles (the optional extra
``orv_engine[studio]``)."""
