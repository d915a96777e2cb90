# A pulse preloader.
kind = pulse
color = 0x3CC45A
color2 = 0xFFFFFF
text = Loading
