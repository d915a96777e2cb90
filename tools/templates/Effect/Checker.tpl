# A checkerboard dissolves.
kind = checker
color = 0x000000
duration = 1.2
