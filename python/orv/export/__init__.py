"""A run drawn as pictures with Pillow (the optional extra ``orv_engine[export]``): the zone
tree of each frame as nested boxes (``tree``, ``picture``, with the text helpers of ``pen``)
and the run written as an animated GIF or one PNG per frame (``animation``)."""
