# Plain grey bar with a gloss, 32 pixels high.
barHeight = 32
barTop = 0x6A6A6A
barBottom = 0x2A2A2A
button = 0xFFFFFF
buttonHover = 0x9AD4FF
shape = square
accent = 0x3399FF
track = 0x111111
text = 0xEEEEEE
decor = gloss
