# A cover slides away to the right.
kind = wipe
color = 0x000000
duration = 1.0
