# Fades in from black.
kind = fade
color = 0x000000
duration = 1.0
