# Light silver bar, dark icons, 28 pixels high.
barHeight = 28
barTop = 0xF2F2F2
barBottom = 0xB8B8B8
edge = 0xFFFFFF
button = 0x333333
buttonHover = 0x0066CC
shape = square
accent = 0x0066CC
track = 0x8A8A8A
text = 0x222222
decor = none
