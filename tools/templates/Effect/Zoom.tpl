# The picture grows from the centre.
kind = zoom
color = 0x000000
duration = 1.0
