# A circle opens from the centre.
kind = iris
color = 0x000000
duration = 1.2
