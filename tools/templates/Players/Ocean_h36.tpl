# Sea blue bar with rounded white buttons, 36 pixels high.
barHeight = 36
barTop = 0x2BA7D8
barBottom = 0x0B4F7A
edge = 0x9BE3FF
button = 0x0B4F7A
buttonHover = 0x000000
buttonFace = 0xFFFFFF
shape = rounded
accent = 0xFFE45C
track = 0x063550
text = 0xFFFFFF
decor = gloss
