"""The frame viewer: one self-contained HTML page (``viewer.html``, filled by ``page``) that
steps through the frames of a level."""
