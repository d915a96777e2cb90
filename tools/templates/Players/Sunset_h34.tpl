# Warm orange bar with diagonal stripes, 34 pixels high.
barHeight = 34
barTop = 0xFF9A3C
barBottom = 0xC2410C
button = 0xFFFFFF
buttonHover = 0x3A1A00
shape = round
buttonFace = 0x9A3412
accent = 0xFFE08A
track = 0x6B1F05
text = 0xFFFFFF
decor = stripes
decorColor = 0xFFFFFF
