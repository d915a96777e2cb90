# Dark blue bar with small stars, 30 pixels high.
barHeight = 30
barTop = 0x1B2A52
barBottom = 0x070B1A
button = 0xC9D6FF
buttonHover = 0xFFFFFF
shape = round
accent = 0x7FA2FF
track = 0x000000
text = 0xC9D6FF
decor = stars
decorColor = 0xFFF6C0
