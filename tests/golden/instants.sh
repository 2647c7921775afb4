# Elapsed seconds of the golden frames: the middle of each scene's window (start +
# duration / 2 + 4), a gap in the timetable with the opening captions over black
# (14.5), the group's name fading in (4.1) and the title over the forest path (34).
GOLDEN_INSTANTS=(4.1 10 14.5 19 28 34 38.2 60.2 84.6 107.34 149.18 192)
