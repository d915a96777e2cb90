# A dots preloader.
kind = dots
color = 0xFFD24C
color2 = 0x5A4A1A
text = Loading
