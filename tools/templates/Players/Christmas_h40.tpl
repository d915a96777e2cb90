# Festive red bar with snow and holly, 40 pixels high.
barHeight = 40
barTop = 0xD0202E
barBottom = 0x7A0A16
edge = 0xF5D76E
button = 0xFFFFFF
buttonHover = 0xF5D76E
buttonFace = 0x1E7B34
shape = round
accent = 0x3CC45A
track = 0x3A0610
text = 0xFFFFFF
decor = snow
decorColor = 0xFFFFFF
