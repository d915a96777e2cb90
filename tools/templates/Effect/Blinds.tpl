# Horizontal blinds open.
kind = blinds
color = 0x000000
duration = 1.2
