# A ring preloader.
kind = ring
color = 0xFFFFFF
color2 = 0x444444
text = Buffering
