# A red curtain opens to both sides.
kind = curtain
color = 0x8B0000
duration = 1.4
