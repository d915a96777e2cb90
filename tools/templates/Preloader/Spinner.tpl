# A spinner preloader.
kind = spinner
color = 0xFFFFFF
color2 = 0x666666
text = Loading
